// Timers of the program's own: the monotonic clock and a real-time signal
// reserved for each, so that the process's alarm, its interval timer and
// SIGALRM stay exactly as the parent handed them over. POSIX only: Windows
// has none of this.
#pragma once

#ifndef _WIN32

#include <csignal>
#include <ctime>

// The real-time signals the program reserves, as offsets from SIGRTMIN: one
// for the bound on opening a URL, one for the wake-up after an interrupt.
constexpr int OPEN_DEADLINE_TIMER_SLOT = 1;
constexpr int WAKE_TIMER_SLOT = 2;

inline int private_timer_signal(int slot) {
    return SIGRTMIN + slot;
}

struct PrivateTimer {
    timer_t id{};
    bool created = false;
};

// Creates an unarmed timer that raises the slot's signal, handled by handler
// (flags as for sigaction; blocking calls are not restarted). False when
// the system gives no timer (each takes a queued-signal slot of the user's).
bool create_private_timer(PrivateTimer *timer, int slot, void (*handler)(int), int flags = 0);

// Fires after first_us microseconds, then every interval_us (0: once);
// a first_us of 0 disarms it. Async-signal-safe.
void set_private_timer(const PrivateTimer *timer, long first_us, long interval_us = 0);

// Disarms and deletes the timer; its signal keeps the handler, which does
// nothing harmful when a last signal is still on its way.
void delete_private_timer(PrivateTimer *timer);

#endif
