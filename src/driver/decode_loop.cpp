#include "driver/decode_session.h"
#include "platform/interrupts.h"
#include "platform/standard_streams.h"
#include "report/stream_report.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

void pcm_to_little_endian(const opus_int16 *pcm, int frames, unsigned char *out) {
    int values = 2 * frames;
    for (int i = 0; i < values; i++) {
        uint16_t v = static_cast<uint16_t>(pcm[i]);
        out[2 * i] = static_cast<unsigned char>(v & 0xFF);
        out[2 * i + 1] = static_cast<unsigned char>(v >> 8);
    }
}

void decode_loop(DecodeSession &session, const char *shown_name) {
    // Both buffers serve every block of the run.
    opus_int16 pcm[PCM_BUFFER_VALUES];
    unsigned char bytes[2 * PCM_BUFFER_VALUES];

    start_pcm_tracking(session);
    session.samples_written = 0;
    // An interrupt stops the loop before the next read and before the next
    // write, so no block is decoded or written after it.
    while (interrupt_signal() == 0) {
        int samples = op_read_stereo(session.decoder, pcm, PCM_BUFFER_VALUES);
        if (interrupt_signal() != 0) {
            return;
        }
        if (samples == OP_HOLE) {
            fprintf(stderr, "\nHole detected! Corrupt file segment?\n");
            continue;
        }
        if (samples < 0) {
            fprintf(stderr, "\nError decoding '%s': %i\n", shown_name, samples);
            if (session.source_is_ssl) {
                fprintf(stderr, "Possible truncation attack?\n");
            }
            session.exit_status = 1;
            return;
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
            session.exit_status = 0;
            return;
        }
        if (interrupt_signal() != 0) {
            return; // came while the link block or the progress line was written
        }
        pcm_to_little_endian(pcm, samples, bytes);
        // Straight to the descriptor: a block counts once it has reached it,
        // and a part of it by its whole frames.
        size_t put = 0;
        int outcome = write_output(bytes, static_cast<size_t>(4) * samples, &put);
        if (outcome != OUTPUT_WRITTEN) {
            session.samples_written += static_cast<int64_t>(put / 4);
            if (outcome == OUTPUT_INTERRUPTED) {
                return; // a write into a full pipe, given up for the interrupt
            }
            fprintf(stderr, "\nError writing decoded audio data: %s\n", strerror(errno));
            session.exit_status = 1;
            return;
        }
        session.samples_written += samples;
        session.previous_link = link;
    }
}
