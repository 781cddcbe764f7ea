// What the report says about the input on standard error: station facts,
// stream totals and a block per link.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include <opusfile.h>

#include "report/untrusted_text.h"

// The station block of a URL input; absent fields print nothing.
void report_server_info(const OpusServerInfo *info);

// The totals block of a seekable input; returns the total PCM length.
int64_t report_stream_totals(OggOpusFile *decoder);

// The block for a link that decoding has just entered.
void report_link(OggOpusFile *decoder, int link);

// One user comment of a link, pictures summarised on one line.
void report_comment(const char *comment);
