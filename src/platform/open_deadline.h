// A bound on opening a network URL: a server that never finishes its
// response, or sends it a byte at a time, cannot hold the program forever.
// The URL library may never return, so the bound ends the process itself.
#pragma once

#include <cstddef>

// After seconds, writes message to standard error and ends the process with
// status 1, unless disarm_open_deadline was called first. message must stay
// alive until then. One deadline at a time, on a timer of the program's own:
// the process's alarm and SIGALRM are left alone. Not available on Windows,
// where it does nothing.
void arm_open_deadline(const char *message, size_t length, unsigned seconds);
// Disarms and deletes the timer, so that nothing of the bound outlives the
// open.
void disarm_open_deadline();
