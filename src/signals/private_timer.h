// Timers of the program's own: the monotonic clock and a real-time signal
// reserved for each, so that the process's alarm, its interval timer and
// SIGALRM stay exactly as the parent handed them over. Each timer takes a
// slot of the user's queue of real-time signals (RLIMIT_SIGPENDING), so the
// system may refuse one. POSIX only: Windows has none of this.
#pragma once

#ifndef _WIN32

#include <csignal>
#include <ctime>

// The real-time signals the program reserves, as offsets from SIGRTMIN: the
// bound on opening a URL where no thread can be made, and the wake-up after
// an interrupt.
constexpr int BOUND_TIMER_SLOT = 1;
constexpr int WAKE_TIMER_SLOT = 2;

inline int private_timer_signal(int slot) {
    return SIGRTMIN + slot;
}

struct PrivateTimer {
    timer_t id{};
    bool created = false;
    int signal_number = 0;
    // The action the parent gave the signal, kept while ours is installed.
    struct sigaction parent_action {};
    bool handler_installed = false;
    // The parent handed the signal over blocked: it is unblocked for the
    // timer, and the same signal from anyone else is dropped, as the
    // parent's mask would have kept it from acting.
    bool parent_blocked = false;
};

// Creates an unarmed timer that raises the slot's signal, and unblocks that
// signal (dropping it from anyone else when the parent had it blocked).
// False when the system gives no timer.
bool create_private_timer(PrivateTimer *timer, int slot);

// Installs handler for the timer's signal (blocking calls are not
// restarted), keeping the action the parent gave it; async-signal-safe.
void install_private_timer_handler(PrivateTimer *timer, void (*handler)(int, siginfo_t *, void *));

// Puts back the action the parent gave the timer's signal, once ours is
// installed; for a signal the parent had blocked, a handler that drops it
// instead. Async-signal-safe.
void restore_private_timer_handler(PrivateTimer *timer);

// True when a signal came from timer, not from another process.
bool from_private_timer(const siginfo_t *info, const PrivateTimer *timer);

// Fires a created timer after first_us microseconds, then every
// interval_us (0: once); a first_us of 0 disarms it. Async-signal-safe.
void set_private_timer(const PrivateTimer *timer, long first_us, long interval_us = 0);

// Fires a created timer once, when the monotonic clock reaches at.
void set_private_timer_at(const PrivateTimer *timer, const timespec *at);

#endif
