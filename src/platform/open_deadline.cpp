#include "platform/open_deadline.h"

#ifndef _WIN32

#include "platform/private_timer.h"

#include <cerrno>
#include <csignal>
#include <unistd.h>

namespace {

// How long a standard error that takes nothing may hold the line.
constexpr long LAST_WORD_US = 2000000;

PrivateTimer deadline_timer;
const char *deadline_message = nullptr;
size_t deadline_length = 0;
volatile sig_atomic_t deadline_armed = 0;
volatile sig_atomic_t deadline_passed = 0;

// Only async-signal-safe calls: the open may be anywhere in the library.
void on_deadline(int) {
    if (deadline_armed == 0) {
        return; // a last signal from a timer that was disarmed just now
    }
    if (deadline_passed != 0) {
        _exit(1);
    }
    deadline_passed = 1;
    set_private_timer(&deadline_timer, LAST_WORD_US);
    size_t done = 0;
    while (done < deadline_length) {
        ssize_t put = write(STDERR_FILENO, deadline_message + done, deadline_length - done);
        if (put <= 0 && !(put == -1 && errno == EINTR)) {
            break;
        }
        if (put > 0) {
            done += static_cast<size_t>(put);
        }
    }
    _exit(1);
}

} // namespace

void arm_open_deadline(const char *message, size_t length, unsigned seconds) {
    deadline_message = message;
    deadline_length = length;
    if (!create_private_timer(&deadline_timer, OPEN_DEADLINE_TIMER_SLOT, on_deadline, SA_NODEFER)) {
        return;
    }
    deadline_armed = 1;
    set_private_timer(&deadline_timer, static_cast<long>(seconds) * 1000000);
}

void disarm_open_deadline() {
    deadline_armed = 0;
    delete_private_timer(&deadline_timer);
}

#else

void arm_open_deadline(const char *, size_t, unsigned) {}
void disarm_open_deadline() {}

#endif
