#include "platform/interrupts.h"

volatile sig_atomic_t interrupt_received = 0;

#ifndef _WIN32

namespace {

const int INTERRUPT_SIGNALS[] = {SIGINT, SIGTERM, SIGHUP};

void on_interrupt(int signal_number) {
    if (interrupt_received == 0) {
        interrupt_received = signal_number;
    }
    // From now on every one of them kills: a run that is slow to finish can
    // still be stopped at once.
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    for (int other : INTERRUPT_SIGNALS) {
        sigaction(other, &action, nullptr);
    }
}

} // namespace

void catch_interrupts() {
    for (int signal_number : INTERRUPT_SIGNALS) {
        struct sigaction old {};
        if (sigaction(signal_number, nullptr, &old) != 0 || old.sa_handler == SIG_IGN) {
            continue;
        }
        struct sigaction action {};
        action.sa_handler = on_interrupt;
        sigemptyset(&action.sa_mask);
        for (int other : INTERRUPT_SIGNALS) {
            sigaddset(&action.sa_mask, other);
        }
        action.sa_flags = 0; // no SA_RESTART: a blocked read or write returns
        sigaction(signal_number, &action, nullptr);
    }
}

void end_by_signal(int signal_number) {
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    sigaction(signal_number, &action, nullptr);
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, signal_number);
    sigprocmask(SIG_UNBLOCK, &only, nullptr);
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
