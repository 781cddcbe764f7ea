#include "platform/interrupts.h"

volatile sig_atomic_t interrupt_received = 0;

#ifndef _WIN32

#include <sys/time.h>

namespace {

const int INTERRUPT_SIGNALS[] = {SIGINT, SIGTERM, SIGHUP};
constexpr int SIGNAL_COUNT = sizeof INTERRUPT_SIGNALS / sizeof INTERRUPT_SIGNALS[0];
// Which of them have our handler; set before any handler is installed and
// only read afterwards.
bool caught[SIGNAL_COUNT] = {};
// How often a blocking call is interrupted once the run has been asked to stop.
constexpr long WAKE_INTERVAL_US = 20000;

} // namespace

void set_signal_handler(int signal_number, void (*handler)(int), int flags) {
    struct sigaction action {};
    action.sa_handler = handler;
    action.sa_flags = flags;
    sigemptyset(&action.sa_mask);
    sigaction(signal_number, &action, nullptr);
}

void unblock_signal(int signal_number) {
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, signal_number);
    sigprocmask(SIG_UNBLOCK, &only, nullptr);
}

namespace {

// The timer's signal only has to interrupt whatever call is blocked.
void on_wake(int) {}

void on_interrupt(int signal_number) {
    if (interrupt_received != 0) {
        return;
    }
    interrupt_received = signal_number;
    // From now on every signal we caught kills: a run that is slow to finish
    // can still be stopped at once. Ignored ones stay ignored.
    for (int i = 0; i < SIGNAL_COUNT; i++) {
        if (caught[i]) {
            set_signal_handler(INTERRUPT_SIGNALS[i], SIG_DFL);
        }
    }
    set_signal_handler(SIGALRM, on_wake);
    struct itimerval wake {};
    wake.it_value.tv_usec = WAKE_INTERVAL_US;
    wake.it_interval.tv_usec = WAKE_INTERVAL_US;
    setitimer(ITIMER_REAL, &wake, nullptr);
}

} // namespace

void catch_interrupts() {
    struct sigaction action {};
    action.sa_handler = on_interrupt;
    sigemptyset(&action.sa_mask);
    for (int other : INTERRUPT_SIGNALS) {
        sigaddset(&action.sa_mask, other);
    }
    action.sa_flags = 0; // no SA_RESTART: a blocked read or write returns
    for (int i = 0; i < SIGNAL_COUNT; i++) {
        struct sigaction old {};
        caught[i] =
            sigaction(INTERRUPT_SIGNALS[i], nullptr, &old) == 0 && old.sa_handler != SIG_IGN;
    }
    for (int i = 0; i < SIGNAL_COUNT; i++) {
        if (caught[i]) {
            sigaction(INTERRUPT_SIGNALS[i], &action, nullptr);
        }
    }
    unblock_signal(SIGALRM);
}

void end_by_signal(int signal_number) {
    struct itimerval off {};
    setitimer(ITIMER_REAL, &off, nullptr);
    set_signal_handler(signal_number, SIG_DFL);
    unblock_signal(signal_number);
    raise(signal_number);
}

#else

namespace {

// The runtime calls this on a thread of its own and resets the action to the
// default before it does, so a second Ctrl-C ends the process.
void on_interrupt(int signal_number) {
    if (interrupt_received == 0) {
        interrupt_received = signal_number;
    }
}

} // namespace

void catch_interrupts() {
    signal(SIGINT, on_interrupt);
    signal(SIGBREAK, on_interrupt);
}

void end_by_signal(int signal_number) {
    signal(signal_number, SIG_DFL);
    raise(signal_number);
}

#endif
