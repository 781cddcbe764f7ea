// Interrupts (SIGINT, SIGTERM, SIGHUP; Ctrl-C and Ctrl-Break on Windows) once
// there is a WAV file to finish: the handler only records the signal, the
// decode loop stops at its next check, the run finishes its header and then
// ends by the same signal, so callers still see a death by that signal.
#pragma once

#include <csignal>

// The signal that asked the run to stop, 0 while none has. Read once per
// block, so it is a plain load.
extern volatile sig_atomic_t interrupt_received;

inline int interrupt_signal() {
    return interrupt_received;
}

// Installs the handlers. Blocking calls are not restarted, so a run stalled
// on a read or a write comes back to the loop. After the first signal a
// short repeating timer interrupts every blocking call that follows, so a
// read or write entered just after the check of the flag, or text waiting on
// a full standard error, cannot hold the run either. The first signal also
// puts the handlers it installed back to their default action, so a second
// one ends the process at once. A signal that was ignored when the program
// started stays ignored.
void catch_interrupts();

// Ends the process by signal_number with its default action. Returns only
// where the platform cannot do that.
void end_by_signal(int signal_number);

#ifndef _WIN32
// Small POSIX helpers shared with the bound on opening a URL; both are
// async-signal-safe. flags as for sigaction: 0 means blocking calls are not
// restarted.
void set_signal_handler(int signal_number, void (*handler)(int), int flags = 0);
void unblock_signal(int signal_number);
#endif
