// A bound on opening a network URL: a server that never finishes its
// response, or sends it a byte at a time, cannot hold the program forever.
// The URL library may never return, so the bound ends the process itself,
// from a watchdog thread: no timer, no signal and no handler is involved, so
// a signal from outside acts as it would without the bound, and the
// process's alarm and SIGALRM are left alone. Where no thread can be made
// (a process limit), a private timer at the same moment on the monotonic
// clock keeps the bound instead; its real-time signal from anyone else acts
// as it would without the handler.
#pragma once

#include <cstddef>

// How long opening an http or https URL may take in all. Said again, on
// purpose, in: the manual page (docs/opus2wav.1.in: the "timed out after
// 60 s" line under DIAGNOSTICS, twice under NOTES, once under BUGS); the
// README (Errors: the pointer to that line); the expected lines of
// tests/driver/network_interrupt_test.cpp, written out there. A change here
// goes there too; the test's clock offset (FAIL_CALLS_CLOCK_BEHIND for
// tests/support/fail_calls.c) is derived from this constant and follows it.
constexpr unsigned URL_OPEN_BOUND_SECONDS = 60;

// After seconds, writes message to standard error (giving a standard error
// that takes nothing 2 s) and ends the process with status 1, unless
// disarm_open_deadline was called first. message must stay alive until then.
// One deadline at a time. False when neither a thread nor a timer could be
// made, and always on Windows, where there is no bound.
bool arm_open_deadline(const char *message, size_t length, unsigned seconds);
// Stops the watchdog and waits for it (or disarms the timer), so that
// nothing of the bound outlives the open.
void disarm_open_deadline();
