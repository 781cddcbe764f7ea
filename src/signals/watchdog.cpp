#include "signals/watchdog.h"

#include "startup/standard_streams.h"

#ifndef _WIN32

#include <cerrno>
#include <csignal>
#include <poll.h>
#include <unistd.h>

namespace {

// Small enough that a pipe or terminal reported ready takes it whole.
constexpr size_t ERROR_PIECE = 128;

long millis_until(const timespec *deadline) {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    long ms = (deadline->tv_sec - now.tv_sec) * 1000 + (deadline->tv_nsec - now.tv_nsec) / 1000000;
    return ms > 0 ? ms : 0;
}

} // namespace

bool start_watchdog(pthread_t *thread, void *(*run)(void *), void *argument) {
    sigset_t all;
    sigset_t before;
    sigfillset(&all);
    pthread_sigmask(SIG_SETMASK, &all, &before);
    bool started = pthread_create(thread, nullptr, run, argument) == 0;
    pthread_sigmask(SIG_SETMASK, &before, nullptr);
    return started;
}

timespec monotonic_after(long microseconds) {
    timespec at{};
    clock_gettime(CLOCK_MONOTONIC, &at);
    at.tv_sec += microseconds / 1000000;
    at.tv_nsec += microseconds % 1000000 * 1000;
    if (at.tv_nsec >= 1000000000) {
        at.tv_sec++;
        at.tv_nsec -= 1000000000;
    }
    return at;
}

bool wait_for_post(sem_t *posted, const timespec *deadline) {
    for (;;) {
        if (sem_clockwait(posted, CLOCK_MONOTONIC, deadline) == 0) {
            return true;
        }
        if (errno != EINTR) {
            return false;
        }
    }
}

void write_error_by(const char *text, size_t length, const timespec *deadline) {
    size_t done = 0;
    while (done < length) {
        long wait_ms = millis_until(deadline);
        if (wait_ms == 0) {
            return;
        }
        struct pollfd ready {};
        ready.fd = STDERR_FILENO;
        ready.events = POLLOUT;
        int got = poll(&ready, 1, static_cast<int>(wait_ms));
        if (got == -1 && errno == EINTR) {
            continue;
        }
        if (got <= 0 || (ready.revents & POLLOUT) == 0) {
            return;
        }
        size_t piece = length - done < ERROR_PIECE ? length - done : ERROR_PIECE;
        ssize_t put = write(STDERR_FILENO, text + done, piece);
        if (put > 0) {
            done += static_cast<size_t>(put);
        } else if (!(put == -1 && (errno == EINTR || would_block(errno)))) {
            return;
        }
    }
}

#endif
