#include "signals/private_timer.h"

#ifndef _WIN32

namespace {

// A signal the parent had blocked would never have acted.
void drop_signal(int, siginfo_t *, void *) {}

} // namespace

bool create_private_timer(PrivateTimer *timer, int slot) {
    int signal_number = private_timer_signal(slot);
    timer->signal_number = signal_number;
    sigset_t only;
    sigset_t before;
    sigemptyset(&only);
    sigaddset(&only, signal_number);
    sigprocmask(SIG_BLOCK, nullptr, &before);
    timer->parent_blocked = sigismember(&before, signal_number) == 1;
    // In place before the unblock, so that one already pending is dropped too.
    if (timer->parent_blocked && !timer->handler_installed) {
        install_private_timer_handler(timer, drop_signal);
    }
    sigprocmask(SIG_UNBLOCK, &only, nullptr);

    struct sigevent event {};
    event.sigev_notify = SIGEV_SIGNAL;
    event.sigev_signo = signal_number;
    event.sigev_value.sival_ptr = timer;
    timer->created = timer_create(CLOCK_MONOTONIC, &event, &timer->id) == 0;
    return timer->created;
}

void install_private_timer_handler(PrivateTimer *timer, void (*handler)(int, siginfo_t *, void *)) {
    struct sigaction action {};
    action.sa_sigaction = handler;
    action.sa_flags = SA_SIGINFO;
    sigemptyset(&action.sa_mask);
    sigaction(timer->signal_number, &action,
              timer->handler_installed ? nullptr : &timer->parent_action);
    timer->handler_installed = true;
}

void restore_private_timer_handler(PrivateTimer *timer) {
    if (timer->parent_blocked) {
        install_private_timer_handler(timer, drop_signal);
        return;
    }
    sigaction(timer->signal_number, &timer->parent_action, nullptr);
    timer->handler_installed = false;
}

bool from_private_timer(const siginfo_t *info, const PrivateTimer *timer) {
    return info->si_code == SI_TIMER && info->si_value.sival_ptr == timer;
}

void set_private_timer(const PrivateTimer *timer, long first_us, long interval_us) {
    struct itimerspec when {};
    when.it_value.tv_sec = first_us / 1000000;
    when.it_value.tv_nsec = first_us % 1000000 * 1000;
    when.it_interval.tv_sec = interval_us / 1000000;
    when.it_interval.tv_nsec = interval_us % 1000000 * 1000;
    timer_settime(timer->id, 0, &when, nullptr);
}

void set_private_timer_at(const PrivateTimer *timer, const timespec *at) {
    struct itimerspec when {};
    when.it_value = *at;
    timer_settime(timer->id, TIMER_ABSTIME, &when, nullptr);
}

#endif
