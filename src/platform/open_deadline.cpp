#include "platform/open_deadline.h"

#include "platform/interrupts.h"

#ifndef _WIN32

#include <cerrno>
#include <csignal>
#include <unistd.h>

namespace {

const char *deadline_message = nullptr;
size_t deadline_length = 0;

volatile sig_atomic_t deadline_passed = 0;

// Only async-signal-safe calls: the open may be anywhere in the library. A
// standard error that takes nothing gets two more seconds.
void on_deadline(int) {
    if (deadline_passed != 0) {
        _exit(1);
    }
    deadline_passed = 1;
    alarm(2);
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
    set_signal_handler(SIGALRM, on_deadline, SA_NODEFER);
    unblock_signal(SIGALRM);
    alarm(seconds);
}

void disarm_open_deadline() {
    alarm(0);
    set_signal_handler(SIGALRM, SIG_DFL);
}

#else

void arm_open_deadline(const char *, size_t, unsigned) {}
void disarm_open_deadline() {}

#endif
