#include "platform/private_timer.h"

#ifndef _WIN32

bool create_private_timer(PrivateTimer *timer, int slot, void (*handler)(int), int flags) {
    int signal_number = private_timer_signal(slot);
    struct sigaction action {};
    action.sa_handler = handler;
    action.sa_flags = flags;
    sigemptyset(&action.sa_mask);
    sigaction(signal_number, &action, nullptr);
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, signal_number);
    sigprocmask(SIG_UNBLOCK, &only, nullptr);

    struct sigevent event {};
    event.sigev_notify = SIGEV_SIGNAL;
    event.sigev_signo = signal_number;
    timer->created = timer_create(CLOCK_MONOTONIC, &event, &timer->id) == 0;
    return timer->created;
}

void set_private_timer(const PrivateTimer *timer, long first_us, long interval_us) {
    if (!timer->created) {
        return;
    }
    struct itimerspec when {};
    when.it_value.tv_sec = first_us / 1000000;
    when.it_value.tv_nsec = first_us % 1000000 * 1000;
    when.it_interval.tv_sec = interval_us / 1000000;
    when.it_interval.tv_nsec = interval_us % 1000000 * 1000;
    timer_settime(timer->id, 0, &when, nullptr);
}

void delete_private_timer(PrivateTimer *timer) {
    if (timer->created) {
        timer_delete(timer->id);
        timer->created = false;
    }
}

#endif
