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
// short repeating timer of the program's own interrupts every blocking call
// that follows, so a read or write entered just after the check of the
// flag, or text waiting on a full standard error, cannot hold the run
// either. Further signals are taken and dropped until
// interrupts_end_at_once. A signal that was ignored when the program started
// stays ignored.
void catch_interrupts();

// Called once the header on the output is true: from then on a further
// interrupt ends the process at once by its default action, so a run that is
// slow to print its closing lines can still be stopped.
void interrupts_end_at_once();

// Ends the process by signal_number with its default action. Returns only
// where the platform cannot do that.
void end_by_signal(int signal_number);
