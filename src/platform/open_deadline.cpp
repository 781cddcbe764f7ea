#include "platform/open_deadline.h"

#ifndef _WIN32

#include "platform/coverage.h"
#include "platform/watchdog.h"

#include <unistd.h>

namespace {

// How long a standard error that takes nothing may hold the line.
constexpr long LAST_WORD_US = 2000000;

struct Deadline {
    const char *message = nullptr;
    size_t length = 0;
    long bound_us = 0;
    sem_t disarmed;
    pthread_t thread;
    bool armed = false;
};

Deadline deadline;

// The watchdog: the line and the end of the process when the bound runs
// out, unless the open was over first.
void *watch(void *) {
    timespec bound = monotonic_after(deadline.bound_us);
    if (wait_for_post(&deadline.disarmed, &bound)) {
        return nullptr;
    }
    timespec last_word = monotonic_after(LAST_WORD_US);
    write_error_by(deadline.message, deadline.length, &last_word);
    dump_coverage();
    _exit(1);
}

} // namespace

bool arm_open_deadline(const char *message, size_t length, unsigned seconds) {
    deadline.message = message;
    deadline.length = length;
    deadline.bound_us = static_cast<long>(seconds) * 1000000;
    if (sem_init(&deadline.disarmed, 0, 0) != 0) {
        return false;
    }
    deadline.armed = start_watchdog(&deadline.thread, watch, nullptr);
    if (!deadline.armed) {
        sem_destroy(&deadline.disarmed);
    }
    return deadline.armed;
}

void disarm_open_deadline() {
    if (!deadline.armed) {
        return;
    }
    sem_post(&deadline.disarmed);
    pthread_join(deadline.thread, nullptr);
    sem_destroy(&deadline.disarmed);
    deadline.armed = false;
}

#else

bool arm_open_deadline(const char *, size_t, unsigned) {
    return false;
}
void disarm_open_deadline() {}

#endif
