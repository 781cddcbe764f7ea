// The state of one run, shared by the entry, the decode loop and the
// progress and continuity checks.
#pragma once

#include <cstdint>

#include <opusfile.h>

// 5760 stereo frames (120 ms at 48 kHz) per read.
constexpr int PCM_BUFFER_VALUES = 11520;
// One progress line per second of output at the most, within a link.
constexpr int64_t PROGRESS_INTERVAL = 48000;

struct DecodeSession {
    OggOpusFile *decoder = nullptr;
    int source_is_ssl = 0;
    bool output_seekable = false;
    int64_t declared_samples = 0;
    int64_t samples_written = 0;
    int64_t pcm_offset = 0;
    int64_t last_progress_offset = 0;
    int32_t last_bitrate = 0;
    int previous_link = -1;
    int exit_status = 0;
};

// Reads every block of the open decoder and appends it to standard output.
// Leaves exit_status 0 when the input ended and 1 when an error stopped it;
// shown_name is the input name as messages show it, used in the decoding
// error line.
void decode_loop(DecodeSession &session, const char *shown_name);

// Converts frames stereo frames of interleaved 16-bit values into
// little-endian bytes, 4 per frame, whatever the host byte order.
void pcm_to_little_endian(const opus_int16 *pcm, int frames, unsigned char *out);

// Progress line and continuity checks, called from the decode loop.
void start_pcm_tracking(DecodeSession &session);
void rebase_link_offset(DecodeSession &session, int link, int samples);
bool progress_due(const DecodeSession &session, bool link_changed);
void show_progress(DecodeSession &session);
void check_pcm_continuity(DecodeSession &session, int samples);

// The whole program: what main returns.
int opus2wav_main(int argc, char **argv);
