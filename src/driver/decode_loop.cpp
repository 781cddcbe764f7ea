#include "driver/decode_loop.h"

#include "driver/progress.h"
#include "output/output.h"
#include "report/stream_report.h"
#include "signals/interrupts.h"
#include "wav/wav_header.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

void pcm_to_little_endian(const opus_int16 *pcm, int samples, unsigned char *out) {
    int values = 2 * samples;
    for (int i = 0; i < values; i++) {
        uint16_t v = static_cast<uint16_t>(pcm[i]);
        out[2 * i] = static_cast<unsigned char>(v & 0xFF);
        out[2 * i + 1] = static_cast<unsigned char>(v >> 8);
    }
}

namespace {

// Both buffers serve every block of the run.
struct Buffers {
    opus_int16 pcm[PCM_BUFFER_VALUES];
    unsigned char bytes[PCM_BUFFER_SAMPLES * WAV_BYTES_PER_SAMPLE];
};

// One pass: read, report, convert, write. Returns false when decoding stops,
// with session.end saying why.
bool decode_block(DecodeSession &session, const char *shown_name, DescriptorInput *input,
                  Buffers &buffers) {
    // The library dithers by default: encoded silence decodes to small
    // values around zero, not to zeros.
    int samples = op_read_stereo(session.decoder, buffers.pcm, PCM_BUFFER_VALUES);
    if (interrupt_signal() != 0) {
        session.end = RunEnd::INTERRUPTED;
        return false;
    }
    if (samples == OP_HOLE) {
        fprintf(stderr, "\nHole detected! Corrupt file segment?\n");
        return true;
    }
    if (samples < 0 && stream_ended_cut_short(input)) {
        // The rest of a link that was cut off: what was complete is decoded,
        // and the end of the run names the cut.
        session.end = RunEnd::INPUT_ENDED;
        return false;
    }
    if (samples < 0) {
        fprintf(stderr, "\nError decoding '%s': %i\n", shown_name, samples);
        if (session.source_is_ssl) {
            fprintf(stderr, "Possible truncation attack?\n");
        }
        session.end = RunEnd::DECODE_FAILED;
        return false;
    }
    int link = op_current_link(session.decoder);
    bool link_changed = link != session.previous_link;
    if (link_changed) {
        report_link(session.decoder, link);
        if (!op_seekable(session.decoder)) {
            rebase_link_offset(session, link, samples);
        }
    }
    if (progress_due(session, link_changed)) {
        show_progress(session);
    }
    check_pcm_continuity(session, samples);
    if (samples == 0) {
        session.end = RunEnd::INPUT_ENDED;
        return false;
    }
    if (interrupt_signal() != 0) {
        // It came while the link block or the progress line was written.
        session.end = RunEnd::INTERRUPTED;
        return false;
    }
    pcm_to_little_endian(buffers.pcm, samples, buffers.bytes);
    // Straight to the descriptor: a block counts once it has reached it,
    // and a part of it by its whole samples.
    size_t put = 0;
    int outcome =
        write_output(buffers.bytes, static_cast<size_t>(samples) * WAV_BYTES_PER_SAMPLE, &put);
    if (outcome != OUTPUT_WRITTEN) {
        session.samples_written += static_cast<int64_t>(put / WAV_BYTES_PER_SAMPLE);
        if (outcome == OUTPUT_INTERRUPTED) {
            // A write into a full pipe, given up for the interrupt.
            session.end = RunEnd::INTERRUPTED;
            return false;
        }
        fprintf(stderr, "\nError writing decoded audio data: %s\n", strerror(errno));
        session.end = RunEnd::WRITE_FAILED;
        return false;
    }
    session.samples_written += samples;
    session.previous_link = link;
    return true;
}

} // namespace

void decode_loop(DecodeSession &session, const char *shown_name, DescriptorInput *input) {
    static Buffers buffers;
    start_pcm_tracking(session);
    session.samples_written = 0;
    // An interrupt stops the loop before the next read and before the next
    // write, so no block is decoded or written after it.
    session.end = RunEnd::INTERRUPTED;
    while (interrupt_signal() == 0 && decode_block(session, shown_name, input, buffers)) {
    }
}
