#include "driver/end_of_run.h"

#include "platform/interrupts.h"
#include "platform/standard_streams.h"
#include "report/number_format.h"

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>

namespace {

// The header is rewritten where the first one went, so that a file that
// already held bytes before ours keeps them. A finished file always gets
// exact sizes, an empty one included. False on failure, with errno set.
bool rewrite_header(const DecodeSession &session, WavHeader &header, int64_t header_offset) {
    fill_final_wav_header(&header, session.samples_written);
    size_t put = 0;
    if (!seek_output(header_offset)) {
        return false;
    }
    int outcome = write_output(header.bytes, WAV_HEADER_SIZE, &put);
    if (outcome == OUTPUT_INTERRUPTED) {
        errno = EINTR;
    }
    return outcome == OUTPUT_WRITTEN;
}

// After a failed write part of a block may have reached a seekable output;
// its whole frames count, so that the header describes what the file holds.
void count_frames_in_file(DecodeSession &session, int64_t header_offset) {
    int64_t position = descriptor_position(stdout);
    int64_t data_start = header_offset + WAV_HEADER_SIZE;
    if (position >= data_start && (position - data_start) / 4 > session.samples_written) {
        session.samples_written = (position - data_start) / 4;
    }
}

void print_played(const char *what, int64_t samples) {
    fprintf(stderr, "\n%s: played ", what);
    show_duration(stderr, samples, 1);
    fprintf(stderr, " (%" PRId64 " samples @ 48 kHz).\n", samples);
}

void finish_run(DecodeSession &session, WavHeader &header, int64_t header_offset) {
    bool interrupted = interrupt_signal() != 0;
    bool decoded = session.exit_status == 0;
    if (session.output_seekable && (session.exit_status != 0 || interrupted)) {
        count_frames_in_file(session, header_offset);
    }
    bool counts_differ = session.samples_written != session.declared_samples;
    // An empty file was first given the placeholder sizes (or, from a
    // seekable input, the same ones for a declared length of 0). The header
    // is made true before anything is printed, and only then may a further
    // signal end the process at once: a slow standard error, or a second
    // signal close behind the first, cannot leave it false.
    bool rewrite = session.output_seekable && (counts_differ || session.samples_written == 0);
    bool rewrite_failed = rewrite && !rewrite_header(session, header, header_offset);
    int rewrite_error = errno;
    if (rewrite_failed) {
        session.exit_status = 1;
    }
    interrupts_end_at_once();

    if (interrupted) {
        print_played("Interrupted", session.samples_written);
    } else if (decoded) {
        print_played("Done", session.samples_written);
    }
    if (counts_differ && op_seekable(session.decoder)) {
        fprintf(stderr,
                "\nWARNING: Number of output samples does not match declared file duration.\n");
        if (!session.output_seekable) {
            fprintf(stderr, "Output WAV file will be corrupt.\n");
        }
    }
    if (rewrite) {
        warn_wav_limit(session.samples_written);
    }
    if (rewrite_failed) {
        fprintf(stderr, "Error rewriting WAV header: %s\n", strerror(rewrite_error));
    }
}

} // namespace

int end_run(DecodeSession &session, WavHeader &header, int64_t header_offset) {
    finish_run(session, header, header_offset);
    op_free(session.decoder);
    if (interrupt_signal() != 0) {
        end_by_signal(interrupt_signal());
    }
    return session.exit_status;
}
