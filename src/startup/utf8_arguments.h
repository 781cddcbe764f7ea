// Windows start-up: the arguments rebuilt as UTF-8 from the wide-character
// command line. Elsewhere the step does nothing.
#pragma once

#include <cstddef>
#include <cstdint>

// Writes the UTF-8 form of length UTF-16 code units and a terminating NUL
// into out, which must hold at least 3 * length + 1 bytes. Unpaired
// surrogates are written as the three-byte form of their own value. The
// unit after a final high surrogate is read: it is the string's terminator.
void encode_wide_argument(const uint16_t *units, size_t length, char *out);

// Called first thing by the entry.
void setup_utf8_arguments(int *argc, char ***argv);
