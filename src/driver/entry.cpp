// The outline of a run: arguments, open, seek probe and totals, the first
// header, the decode loop, the end of the run.
#include "driver/entry.h"

#include "driver/decode_loop.h"
#include "driver/end_of_run.h"
#include "driver/open_input.h"
#include "output/output.h"
#include "report/input_name.h"
#include "report/stream_report.h"
#include "report/untrusted_text.h"
#include "signals/interrupts.h"
#include "startup/stack_limit.h"
#include "startup/standard_streams.h"
#include "startup/utf8_arguments.h"
#include "wav/wav_header.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// From the open decoder to the exit status; the caller frees the decoder.
int decode_opened(DecodeSession &session, DescriptorInput *input, const char *shown_name) {
    // An output in append mode would put a rewritten header at its end, so
    // it counts as one that cannot seek.
    session.header_offset = output_appends() ? -1 : output_position();
    if (op_seekable(session.decoder)) {
        session.declared_samples = report_stream_totals(session.decoder);
    } else if (!output_seekable(session)) {
        fprintf(stderr, "WARNING: Neither input nor output are seekable.\n");
        fprintf(stderr, "Writing non-standard WAV header with invalid chunk sizes.\n");
    }

    // From the first header on there is a file to finish: the handlers are
    // in place before it is written, so an interrupt at any moment ends the
    // run cleanly instead of leaving that header behind.
    catch_interrupts();
    WavHeader header;
    fill_wav_header(&header, session.declared_samples);
    int64_t size_before = output_file_size();
    size_t put = 0;
    int outcome = write_output(header.bytes, WAV_HEADER_SIZE, &put);
    if (outcome == OUTPUT_FAILED) {
        // Part of a header is no WAV file: the output is left as it was.
        cut_output_back(size_before, put);
        fprintf(stderr, "Error writing WAV header: %s\n", strerror(errno));
        session.end = RunEnd::WRITE_FAILED;
        return 1;
    }
    if (outcome == OUTPUT_INTERRUPTED) {
        // Stopped before the header was complete: no samples, and a seekable
        // output gets the exact header of an empty file.
        session.end = RunEnd::INTERRUPTED;
    } else {
        decode_loop(session, shown_name, input);
    }
    return end_run(session, header, input);
}

// The run from the open to the exit status, or to the death by the signal
// that interrupted it.
int decode_input(const char *input_name, const NameParts &parts, const char *shown_name) {
    OpenedInput input;
    if (!open_input(input_name, parts, shown_name, &input)) {
        return 1;
    }
    DecodeSession session;
    session.decoder = input.decoder;
    session.source_is_ssl = input.source_is_ssl;
    int status = decode_opened(session, &input.descriptor, shown_name);
    op_free(input.decoder);
    end_if_interrupted();
    return status;
}

} // namespace

int opus2wav_main(int argc, char **argv) {
    set_binary_standard_streams();
    setup_utf8_arguments(&argc, &argv);
    protect_standard_streams();
    if (argc != 2) {
        // The program's name is the caller's text (exec -a), shown as any
        // name is.
        fputs("Usage: ", stderr);
        print_untrusted(stderr, argc > 0 && argv[0] != nullptr ? argv[0] : "opus2wav");
        fputs(" <file.opus>\n", stderr);
        return 1;
    }
    const char *input_name = argv[1];
    // Binary data on a terminal is unreadable and may hold escape sequences;
    // refuse before anything is opened or read.
    if (stream_is_terminal(stdout)) {
        fprintf(stderr, "Not writing WAV data to a terminal: redirect standard output to a file "
                        "or a pipe.\n");
        return 1;
    }
    // The decoders keep their work on the stack: a crash there would leave a
    // header that lies.
    size_t stack = ensure_stack();
    if (stack < STACK_NEEDED) {
        fprintf(stderr, "Not enough stack: the limit is %zu KiB, at least %zu KiB are needed.\n",
                stack / 1024, STACK_NEEDED / 1024);
        return 1;
    }

    // The name is read once. Messages show it filtered, its password
    // hidden; it is opened as given.
    NameParts parts;
    parse_input_name(input_name, &parts);
    char *shown_name = shown_input_name(input_name, parts);
    int status = decode_input(input_name, parts, shown_name != nullptr ? shown_name : "?");
    free(shown_name);
    return status;
}
