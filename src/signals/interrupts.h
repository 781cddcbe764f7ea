// Interrupts: SIGINT, SIGTERM, SIGHUP and SIGXCPU (a soft CPU time limit);
// Ctrl-C and Ctrl-Break on Windows.
//
// The phases of a run:
//   1. Before the handlers (arguments, open, seek probe, totals): the
//      dispositions are the parent's, so a signal ends the process at once;
//      nothing has been written to standard output yet.
//   2. From catch_interrupts, just before the first header, until the header
//      on the output is true: the first signal is only recorded (the flag
//      below) and starts a short repeating wake-up timer, so that every
//      blocking call that follows returns; later signals are taken and
//      dropped. The run stops at its next look at the flag, finishes its
//      header and then ends by that first signal. The wake-up is a timer
//      of the program's own; where the system gives none (the user's queue
//      of real-time signals is full), a watchdog thread sends SIGURG (whose
//      default is to be ignored, and which is unblocked for it) to the main
//      thread every 5 ms instead; where there is no thread either, the
//      process's interval timer sends SIGALRM, taking over any alarm the
//      parent set, as the run is ending anyway. The wake-up goes on until
//      the process ends, so that the closing lines on a standard error that
//      nobody reads cannot hold it either.
//   3. From interrupts_end_at_once, once the header is true: a further
//      signal ends the process at once by its default action, and
//      end_if_interrupted ends it by the first one after the decoder is
//      freed.
// A signal that was ignored when the program started stays ignored in every
// phase.
//
// Where the flag is looked at: the decode loop (before each read, after it,
// and before each write); the input's reads (before every read of the
// descriptor); write_output (whenever a write returns early); the link
// report (between comments) and the filter of untrusted text (between its
// pieces), so that a long listing is cut short; and the end of the run (the
// "Interrupted" line and the death by the signal).
//
// catch_interrupts may be called again in the same process (the fuzz target
// runs the entry once per input): the wake-up timer (or its thread) is made
// once for the process and kept. The flag is never cleared.
//
// On Windows the runtime calls the handler on a thread of its own, there is
// no wake-up timer, and a blocked read or write is not interrupted.
#pragma once

// The signal that asked the run to stop, 0 while none has.
int interrupt_signal();

// Installs the handlers (phase 2). Blocking calls are not restarted, so a
// run stalled on a read or a write comes back to the loop. Returns false
// when neither the wake-up timer nor its thread could be made: the interval
// timer is then the wake-up.
bool catch_interrupts();

// Called once the header on the output is true (phase 3).
void interrupts_end_at_once();

// Ends the process by the signal that interrupted the run, with its default
// action; returns at once when there was none, and where the platform cannot
// end the process by a signal.
void end_if_interrupted();
