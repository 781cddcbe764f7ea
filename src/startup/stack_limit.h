// Enough stack for the decoding library, whatever limit the parent set: its
// decoders keep their work on the stack (about 80 KiB for 120 ms frames of
// eight channels), and running out of stack would end the process with a
// crash and a header that lies.
#pragma once

#include <cstddef>

// The stack the run asks for, and the least it can work with.
constexpr size_t STACK_WANTED = 1024 * 1024;
constexpr size_t STACK_NEEDED = 128 * 1024;

// Raises the soft limit of the stack to STACK_WANTED where it is lower and
// the hard limit allows. Returns the limit now in force, in bytes (SIZE_MAX
// when unlimited or on Windows, where the stack is fixed at link time).
size_t ensure_stack();
