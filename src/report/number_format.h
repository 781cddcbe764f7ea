// Short human-readable forms of durations, sizes and bitrates.
#pragma once

#include <cstdint>
#include <cstdio>

// Samples (stereo sample frames) per second of the decoded audio.
constexpr int OUTPUT_RATE_HZ = 48000;

// Writes a count of 48 kHz samples as "2w3d05h07m09.010s" (show_millis
// non-zero) or "2w3d05h07m09s", rounded half up. Negative counts show as 0.
void show_duration(FILE *stream, int64_t samples, int show_millis);

// Writes value with a one-letter prefix in steps of 1024 (decimal zero) or
// 1000 (decimal non-zero): "1.50k", "99.5k", "100k", "999 ". separator goes
// between the number and the prefix letter. Negative values show as 0.
void show_scaled(FILE *stream, int64_t value, int decimal, const char *separator);
