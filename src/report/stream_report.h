// What the report says about the input on standard error: station facts,
// stream totals and a block per link.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include <opusfile.h>

// Writes text that came from the stream or a server, so that it cannot move
// the cursor, clear the terminal, start a line that looks like one of ours or
// display differently from what it holds. Shown as one '?' each: the C0
// controls and DEL, the C1 controls, the bidirectional controls U+202A to
// U+202E and U+2066 to U+2069, U+2028 and U+2029, and every byte that does
// not start a well-formed UTF-8 sequence. All other UTF-8 prints unchanged.
// At most max_bytes bytes are read; the text ends earlier at its NUL.
void print_untrusted(FILE *stream, const char *text, size_t max_bytes = SIZE_MAX);

// The station block of a URL input; absent fields print nothing.
void report_server_info(const OpusServerInfo *info);

// The totals block of a seekable input; returns the total PCM length.
int64_t report_stream_totals(OggOpusFile *decoder);

// The block for a link that decoding has just entered.
void report_link(OggOpusFile *decoder, int link);

// One user comment of a link, pictures summarised on one line.
void report_comment(const char *comment);
