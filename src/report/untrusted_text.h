// Text that did not come from us (stream comments, server fields, the input
// name) is shown so that it cannot move the cursor, clear the terminal, start
// a line that looks like one of ours or display differently from what it
// holds. Shown as one '?' each: the C0 controls and DEL, the C1 controls, the
// bidirectional controls U+202A to U+202E and U+2066 to U+2069, U+2028 and
// U+2029, and every byte that does not start a well-formed UTF-8 sequence.
// All other UTF-8 is shown unchanged.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

// Writes text to stream in large pieces, whatever it holds. At most max_bytes
// bytes are read; the text ends earlier at its NUL.
void print_untrusted(FILE *stream, const char *text, size_t max_bytes = SIZE_MAX);

// The same filter, into out, which holds at least strlen(text) + 1 bytes (the
// shown text is never longer than the text).
void filter_untrusted(const char *text, char *out);
