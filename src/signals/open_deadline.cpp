#include "signals/open_deadline.h"

#ifndef _WIN32

#include "coverage/coverage_dump.h"
#include "signals/private_timer.h"
#include "signals/watchdog.h"

#include <unistd.h>

namespace {

// How long a standard error that takes nothing may hold the line.
constexpr long LAST_WORD_US = 2000000;

struct Deadline {
    const char *message = nullptr;
    size_t length = 0;
    timespec bound{}; // on the monotonic clock
    sem_t disarmed;
    pthread_t thread;
    bool armed = false;
    bool on_timer = false; // no thread could be made: a private timer keeps it
};

Deadline deadline;
// Made the first time a thread cannot be, and kept for the process.
PrivateTimer bound_timer;

// The line and the end of the process, once the bound ran out.
[[noreturn]] void time_is_up() {
    timespec last_word = monotonic_after(LAST_WORD_US);
    write_error_by(deadline.message, deadline.length, &last_word);
    dump_coverage();
    _exit(1);
}

// The watchdog: the end when the bound runs out, unless the open was over
// first.
void *watch(void *) {
    if (wait_for_post(&deadline.disarmed, &deadline.bound)) {
        return nullptr;
    }
    time_is_up();
}

// The timer's signal ends the open; the same signal from anyone else acts
// as it would without the handler.
void on_bound_timer(int signal_number, siginfo_t *info, void *) {
    if (from_private_timer(info, &bound_timer)) {
        time_is_up();
    }
    restore_private_timer_handler(&bound_timer);
    dump_coverage();
    raise(signal_number);
}

bool arm_bound_timer() {
    if (!bound_timer.created && !create_private_timer(&bound_timer, BOUND_TIMER_SLOT)) {
        return false;
    }
    install_private_timer_handler(&bound_timer, on_bound_timer);
    set_private_timer_at(&bound_timer, &deadline.bound);
    return true;
}

} // namespace

bool arm_open_deadline(const char *message, size_t length, unsigned seconds) {
    deadline.message = message;
    deadline.length = length;
    deadline.bound = monotonic_after(static_cast<long>(seconds) * 1000000);
    deadline.on_timer = false;
    if (sem_init(&deadline.disarmed, 0, 0) != 0) {
        return false;
    }
    deadline.armed = start_watchdog(&deadline.thread, watch, nullptr);
    if (!deadline.armed) {
        sem_destroy(&deadline.disarmed);
        deadline.armed = deadline.on_timer = arm_bound_timer();
    }
    return deadline.armed;
}

void disarm_open_deadline() {
    if (!deadline.armed) {
        return;
    }
    deadline.armed = false;
    if (deadline.on_timer) {
        set_private_timer(&bound_timer, 0);
        restore_private_timer_handler(&bound_timer);
        return;
    }
    sem_post(&deadline.disarmed);
    pthread_join(deadline.thread, nullptr);
    sem_destroy(&deadline.disarmed);
}

#else

bool arm_open_deadline(const char *, size_t, unsigned) {
    return false;
}
void disarm_open_deadline() {}

#endif
