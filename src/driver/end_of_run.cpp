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

// The closing lines of a run, each printed only where it applies.
enum class ClosingLine {
    SUMMARY,        // "Done: played ..." or "Interrupted: played ..."
    LENGTH_WARNING, // the length warning, then "Output WAV file will be
                    // corrupt." when the output cannot seek
    WAV_LIMIT,      // the two 2 GB lines of a rewritten header
    REWRITE_ERROR,  // "Error rewriting WAV header: ..."
    CUT_SHORT,      // the warning of an input that was cut short
};

// Their order, written once: the end of the run follows this list. The
// tests state it again in tests/support/transcript.cpp (closing_lines), and
// the manual page in its DIAGNOSTICS.
constexpr ClosingLine CLOSING_ORDER[] = {ClosingLine::SUMMARY, ClosingLine::LENGTH_WARNING,
                                         ClosingLine::WAV_LIMIT, ClosingLine::REWRITE_ERROR,
                                         ClosingLine::CUT_SHORT};

// What the closing lines are made from, once the header is true.
struct Closing {
    bool counts_differ = false;
    bool rewritten = false; // the header was (or was to be) rewritten
    bool rewrite_failed = false;
    int rewrite_error = 0;
};

void print_closing_line(ClosingLine line, const DecodeSession &session, const Closing &closing,
                        DescriptorInput *input) {
    switch (line) {
    case ClosingLine::SUMMARY:
        if (session.end == RunEnd::INTERRUPTED) {
            print_played("Interrupted", session.samples_written);
        } else if (session.end == RunEnd::INPUT_ENDED) {
            print_played("Done", session.samples_written);
        }
        break;
    case ClosingLine::LENGTH_WARNING:
        if (closing.counts_differ && op_seekable(session.decoder)) {
            fprintf(stderr, "\nWARNING: Number of output samples does not match declared file "
                            "duration.\n");
            if (!output_seekable(session)) {
                fprintf(stderr, "Output WAV file will be corrupt.\n");
            }
        }
        break;
    case ClosingLine::WAV_LIMIT:
        if (closing.rewritten) {
            warn_wav_limit(session.samples_written);
        }
        break;
    case ClosingLine::REWRITE_ERROR:
        if (closing.rewrite_failed) {
            fprintf(stderr, "Error rewriting WAV header: %s\n", strerror(closing.rewrite_error));
        }
        break;
    case ClosingLine::CUT_SHORT:
        // The library measures a stream by its complete pages and drops the
        // rest silently: the last line of a run says when there was a rest.
        if (session.end == RunEnd::INPUT_ENDED && input_cut_short(input)) {
            fprintf(stderr, "\nWARNING: Input does not end with a whole Ogg page: it may be cut "
                            "short.\n");
        }
        break;
    }
}

} // namespace

// The header is made true first; then every closing line, in CLOSING_ORDER.
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
    Closing closing;
    closing.counts_differ = session.samples_written != session.declared_samples;
    // An empty file was first given the placeholder sizes (or, from a
    // seekable input, the same ones for a declared length of 0). The header
    // is made true before anything is printed, and only then may a further
    // signal end the process at once: a slow standard error, or a second
    // signal close behind the first, cannot leave it false.
    closing.rewritten =
        output_seekable(session) && (closing.counts_differ || session.samples_written == 0);
    closing.rewrite_failed = closing.rewritten && !rewrite_header(session, header);
    closing.rewrite_error = errno;
    if (closing.rewrite_failed) {
        session.exit_status = 1;
    }
    interrupts_end_at_once();
    for (ClosingLine line : CLOSING_ORDER) {
        print_closing_line(line, session, closing, input);
    }
    return session.exit_status;
}
