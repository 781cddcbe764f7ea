#include "driver/end_of_run.h"

#include "output/output.h"
#include "report/number_format.h"
#include "signals/interrupts.h"

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>

namespace {

// The header is rewritten where the first one went, so that a file that
// already held bytes before ours keeps them. A finished file always gets
// exact sizes, an empty one included. False on failure, with errno set.
bool rewrite_header(const DecodeSession &session, WavHeader &header) {
    fill_final_wav_header(&header, session.samples_written);
    size_t put = 0;
    if (!seek_output(session.header_offset)) {
        return false;
    }
    return write_output(header.bytes, WAV_HEADER_SIZE, &put) == OUTPUT_WRITTEN;
}

// After a failed write part of a block may have reached a seekable output;
// its whole samples count, so that the header describes what the file holds.
void count_samples_in_file(DecodeSession &session) {
    int64_t position = output_position();
    int64_t data_start = session.header_offset + WAV_HEADER_SIZE;
    int64_t in_file = (position - data_start) / WAV_BYTES_PER_SAMPLE;
    if (position >= data_start && in_file > session.samples_written) {
        session.samples_written = in_file;
    }
}

void print_played(const char *what, int64_t samples) {
    fprintf(stderr, "\n%s: played ", what);
    show_duration(stderr, samples, 1);
    fprintf(stderr, " (%" PRId64 " samples @ 48 kHz).\n", samples);
}

} // namespace

// The closing lines, each only where it applies, in this order:
//   1. "Done: played ..." or "Interrupted: played ...";
//   2. the length warning, and "Output WAV file will be corrupt." after it
//      when the output cannot seek;
//   3. the two 2 GB lines of a rewritten header;
//   4. "Error rewriting WAV header: ...";
//   5. last, the warning of an input that was cut short.
int end_run(DecodeSession &session, WavHeader &header, DescriptorInput *input) {
    // A signal that came after decoding stopped still ends the run by it.
    if (interrupt_signal() != 0) {
        session.end = RunEnd::INTERRUPTED;
    }
    bool failed = session.end == RunEnd::DECODE_FAILED || session.end == RunEnd::WRITE_FAILED;
    session.exit_status = failed ? 1 : 0;
    if (output_seekable(session) && session.end != RunEnd::INPUT_ENDED) {
        count_samples_in_file(session);
    }
    bool counts_differ = session.samples_written != session.declared_samples;
    // An empty file was first given the placeholder sizes (or, from a
    // seekable input, the same ones for a declared length of 0). The header
    // is made true before anything is printed, and only then may a further
    // signal end the process at once: a slow standard error, or a second
    // signal close behind the first, cannot leave it false.
    bool rewrite = output_seekable(session) && (counts_differ || session.samples_written == 0);
    bool rewrite_failed = rewrite && !rewrite_header(session, header);
    int rewrite_error = errno;
    if (rewrite_failed) {
        session.exit_status = 1;
    }
    interrupts_end_at_once();

    if (session.end == RunEnd::INTERRUPTED) {
        print_played("Interrupted", session.samples_written);
    } else if (session.end == RunEnd::INPUT_ENDED) {
        print_played("Done", session.samples_written);
    }
    if (counts_differ && op_seekable(session.decoder)) {
        fprintf(stderr,
                "\nWARNING: Number of output samples does not match declared file duration.\n");
        if (!output_seekable(session)) {
            fprintf(stderr, "Output WAV file will be corrupt.\n");
        }
    }
    if (rewrite) {
        warn_wav_limit(session.samples_written);
    }
    if (rewrite_failed) {
        fprintf(stderr, "Error rewriting WAV header: %s\n", strerror(rewrite_error));
    }
    // The library measures a stream by its complete pages and drops the rest
    // silently: the last line of a run says when there was a rest.
    if (session.end == RunEnd::INPUT_ENDED && input_cut_short(input)) {
        fprintf(stderr,
                "\nWARNING: Input does not end with a whole Ogg page: it may be cut short.\n");
    }
    return session.exit_status;
}
