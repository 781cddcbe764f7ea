#include "signals/interrupts.h"

#include "coverage/coverage_dump.h"

#include <csignal>

namespace {

// The signal that asked the run to stop; written only by the handler.
volatile sig_atomic_t interrupt_received = 0;

} // namespace

int interrupt_signal() {
    return interrupt_received;
}

#ifndef _WIN32

#include "signals/private_timer.h"
#include "signals/watchdog.h"

#include <sys/time.h>
#include <ucontext.h>

namespace {

const int INTERRUPT_SIGNALS[] = {SIGINT, SIGTERM, SIGHUP, SIGXCPU};
constexpr int SIGNAL_COUNT = sizeof INTERRUPT_SIGNALS / sizeof INTERRUPT_SIGNALS[0];
// Which of them have our handler; set before any handler is installed and
// only read afterwards.
bool caught[SIGNAL_COUNT] = {};
// How often a blocking call is interrupted once the run has been asked to stop.
constexpr long WAKE_INTERVAL_US = 5000;

// The wake-up: a timer, made by the first catch_interrupts and kept for the
// process; where the system gives none (the user's queue of real-time
// signals is full), a watchdog thread that sends SIGURG to the main thread,
// which the kernel delivers whatever the queue holds. SIGURG is ignored by
// default, so a handler that does nothing changes nothing for anyone else's
// SIGURG. Either runs until the process ends, so that the closing lines
// cannot hold it either.
PrivateTimer wake_timer;
bool wake_thread_running = false;
pthread_t wake_thread;
pthread_t main_thread;
sem_t wake_start;

void do_nothing(int) {}

void set_signal_handler(int signal_number, void (*handler)(int)) {
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    sigaction(signal_number, &action, nullptr);
}

void unblock_signal(int signal_number) {
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, signal_number);
    pthread_sigmask(SIG_UNBLOCK, &only, nullptr);
}

void *wake_main_thread(void *) {
    while (sem_wait(&wake_start) != 0) {
    }
    set_signal_handler(SIGURG, do_nothing);
    for (;;) {
        pthread_kill(main_thread, SIGURG);
        timespec pause{0, WAKE_INTERVAL_US * 1000};
        nanosleep(&pause, nullptr);
    }
    return nullptr;
}

// The timer's signal only has to interrupt whatever call is blocked. The
// same signal from anyone else acts as it would without the handler.
void on_wake(int signal_number, siginfo_t *info, void *) {
    if (!from_private_timer(info, &wake_timer)) {
        restore_private_timer_handler(&wake_timer);
        dump_coverage();
        raise(signal_number);
    }
}

// The last resort, where neither a timer nor a thread can be had: the
// process's own interval timer and SIGALRM, unblocked for the rest of the
// run (in the mask that the handler returns to). It takes over an alarm
// that the parent may have set, but only once the run is ending anyway.
void wake_by_alarm(ucontext_t *context) {
    set_signal_handler(SIGALRM, do_nothing);
    sigdelset(&context->uc_sigmask, SIGALRM);
    struct itimerval every {};
    every.it_value.tv_usec = WAKE_INTERVAL_US;
    every.it_interval.tv_usec = WAKE_INTERVAL_US;
    setitimer(ITIMER_REAL, &every, nullptr);
}

// Only the first signal counts; later ones are taken and dropped until the
// header is true, so that none of them can end the process with a header
// that still claims the whole declared length.
void on_interrupt(int signal_number, siginfo_t *, void *context) {
    if (interrupt_received != 0) {
        return;
    }
    interrupt_received = signal_number;
    if (wake_timer.created) {
        install_private_timer_handler(&wake_timer, on_wake);
        set_private_timer(&wake_timer, WAKE_INTERVAL_US, WAKE_INTERVAL_US);
    } else if (wake_thread_running) {
        sem_post(&wake_start);
    } else {
        wake_by_alarm(static_cast<ucontext_t *>(context));
    }
}

bool prepare_wake_up() {
    if (wake_timer.created || wake_thread_running) {
        return true;
    }
    if (create_private_timer(&wake_timer, WAKE_TIMER_SLOT)) {
        return true;
    }
    main_thread = pthread_self();
    if (sem_init(&wake_start, 0, 0) != 0) {
        return false;
    }
    wake_thread_running = start_watchdog(&wake_thread, wake_main_thread, nullptr);
    if (wake_thread_running) {
        // A parent may hand SIGURG over blocked; ignored by default, it
        // changes nothing unblocked.
        unblock_signal(SIGURG);
    }
    return wake_thread_running;
}

} // namespace

bool catch_interrupts() {
    bool wakes = prepare_wake_up();
    struct sigaction action {};
    action.sa_sigaction = on_interrupt;
    action.sa_flags = SA_SIGINFO; // no SA_RESTART: a blocked read or write returns
    sigemptyset(&action.sa_mask);
    for (int other : INTERRUPT_SIGNALS) {
        sigaddset(&action.sa_mask, other);
    }
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
    return wakes;
}

void interrupts_end_at_once() {
    for (int i = 0; i < SIGNAL_COUNT; i++) {
        if (caught[i]) {
            set_signal_handler(INTERRUPT_SIGNALS[i], SIG_DFL);
        }
    }
}

void end_if_interrupted() {
    int signal_number = interrupt_received;
    if (signal_number == 0) {
        return;
    }
    set_signal_handler(signal_number, SIG_DFL);
    unblock_signal(signal_number);
    dump_coverage();
    raise(signal_number);
}

#else

namespace {

// The runtime calls this on a thread of its own and resets the action to the
// default before it does; it is put back, so that a second Ctrl-C waits for
// the header as on other systems.
void on_interrupt(int signal_number) {
    signal(signal_number, on_interrupt);
    if (interrupt_received == 0) {
        interrupt_received = signal_number;
    }
}

} // namespace

bool catch_interrupts() {
    signal(SIGINT, on_interrupt);
    signal(SIGBREAK, on_interrupt);
    return true;
}

void interrupts_end_at_once() {
    signal(SIGINT, SIG_DFL);
    signal(SIGBREAK, SIG_DFL);
}

void end_if_interrupted() {
    int signal_number = interrupt_received;
    if (signal_number != 0) {
        signal(signal_number, SIG_DFL);
        raise(signal_number);
    }
}

#endif
