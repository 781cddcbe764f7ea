// The state of one run, shared by the entry, the decode loop, the progress
// and continuity checks and the end of the run.
//
// Units, here and in every driver file: a "sample" is one stereo sample
// frame (one 16-bit value per channel, WAV_BYTES_PER_SAMPLE bytes in the
// output) at 48 kHz; sample counts and PCM positions are signed 64-bit. A
// "value" is one 16-bit number of the decode buffer, two per sample.
#pragma once

#include <cstdint>

#include <opusfile.h>

// The decode buffer: PCM_BUFFER_SAMPLES samples (120 ms) per read.
constexpr int PCM_BUFFER_VALUES = 11520;
constexpr int PCM_BUFFER_SAMPLES = PCM_BUFFER_VALUES / 2;
// One progress line per second of output at the most, within a link.
constexpr int64_t PROGRESS_INTERVAL = 48000;

// Why decoding stopped; recorded once, where it stopped, and read by the end
// of the run.
enum class RunEnd {
    INPUT_ENDED,   // the read that returned 0: the whole input was decoded
    DECODE_FAILED, // op_read_stereo returned an error (its line is printed)
    WRITE_FAILED,  // a block could not be written (its line is printed)
    INTERRUPTED,   // a signal asked the run to stop, before or during decoding
};

struct DecodeSession {
    // The decoder of the input, owned by the opened input; freed once, by
    // the entry, after the end of the run.
    OggOpusFile *decoder = nullptr;
    // The station facts' is_ssl for a URL; 0 for a file or standard input.
    int source_is_ssl = 0;
    // Where the first header went on standard output, in bytes from its
    // start; -1 when the output cannot seek (a pipe, a terminal, a file in
    // append mode), so that the header can never be rewritten.
    int64_t header_offset = -1;
    // The total length of a seekable input in samples, as the totals block
    // printed it; 0 for an input that cannot seek. The first header is
    // sized from it.
    int64_t declared_samples = 0;
    // Samples that reached standard output behind the header. Grows by a
    // block once the whole block was written; after a failed write the end
    // of the run counts the whole samples that reached a seekable file.
    int64_t samples_written = 0;
    // The decoder's PCM position (samples) before the current read. Set by
    // start_pcm_tracking, replaced by rebase_link_offset at a link change
    // of an unseekable input (the start of the block just read), read by
    // the progress steps, and left by check_pcm_continuity at the position
    // after the read.
    int64_t pcm_offset = 0;
    // pcm_offset when the last progress line was shown (samples).
    int64_t last_progress_offset = 0;
    // The bitrate on the last progress line, bits per second.
    int32_t last_bitrate = 0;
    // The link of the last block written; -1 for none yet.
    int previous_link = -1;
    // Why decoding stopped.
    RunEnd end = RunEnd::INPUT_ENDED;
    // 0 while nothing has failed, 1 after any failure; decided by the end
    // of the run.
    int exit_status = 0;
};

// True when the output can seek, so that its header can be rewritten.
inline bool output_seekable(const DecodeSession &session) {
    return session.header_offset >= 0;
}
