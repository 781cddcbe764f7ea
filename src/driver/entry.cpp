#include "driver/decode_session.h"
#include "platform/interrupts.h"
#include "platform/standard_streams.h"
#include "platform/utf8_arguments.h"
#include "report/number_format.h"
#include "report/stream_report.h"
#include "wav/wav_header.h"

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>

namespace {

// Standard input through the library's descriptor stream. On failure the
// stream is closed here: the library does not take it over then.
OggOpusFile *open_standard_input(int *error) {
    OpusFileCallbacks callbacks = {nullptr, nullptr, nullptr, nullptr};
    void *stream = op_fdopen(&callbacks, fileno(stdin), "rb");
    if (stream == nullptr) {
        // No readable standard input (it was closed): the callbacks were never
        // filled in, so there is nothing to hand to the opener.
        *error = OP_EREAD;
        return nullptr;
    }
    OggOpusFile *decoder = op_open_callbacks(stream, &callbacks, nullptr, 0, error);
    if (decoder == nullptr && callbacks.close != nullptr) {
        callbacks.close(stream);
    }
    return decoder;
}

// A URL first, with its station facts; a local file when that fails.
OggOpusFile *open_named_input(const char *name, int *source_is_ssl, int *error) {
    OpusServerInfo info;
    OggOpusFile *decoder = op_open_url(name, error, OP_GET_SERVER_INFO(&info), nullptr);
    if (decoder != nullptr) {
        report_server_info(&info);
        *source_is_ssl = info.is_ssl;
        opus_server_info_clear(&info);
        return decoder;
    }
    return op_open_file(name, error);
}

// The header is rewritten where the first one went, so that a file that
// already held bytes before ours keeps them. A finished file always gets
// exact sizes, an empty one included.
void rewrite_header(DecodeSession &session, WavHeader &header, long header_offset) {
    fill_final_wav_header(&header, session.samples_written);
    bool failed = fseek(stdout, header_offset, SEEK_SET) != 0 ||
                  fwrite(header.bytes, WAV_HEADER_SIZE, 1, stdout) == 0;
    if (failed) {
        fprintf(stderr, "Error rewriting WAV header: %s\n", strerror(errno));
        session.exit_status = 1;
    }
}

// After a failed write part of a block may have reached a seekable output;
// its whole frames count, so that the header describes what the file holds.
void count_frames_in_file(DecodeSession &session, long header_offset) {
    int64_t position = descriptor_position(stdout);
    int64_t data_start = static_cast<int64_t>(header_offset) + WAV_HEADER_SIZE;
    if (position >= data_start && (position - data_start) / 4 > session.samples_written) {
        session.samples_written = (position - data_start) / 4;
    }
}

void print_played(const char *what, int64_t samples) {
    fprintf(stderr, "\n%s: played ", what);
    show_duration(stderr, samples, 1);
    fprintf(stderr, " (%" PRId64 " samples @ 48 kHz).\n", samples);
}

void finish_run(DecodeSession &session, WavHeader &header, long header_offset) {
    if (session.output_seekable && (session.exit_status != 0 || interrupt_signal() != 0)) {
        count_frames_in_file(session, header_offset);
    }
    if (interrupt_signal() != 0) {
        print_played("Interrupted", session.samples_written);
    } else if (session.exit_status == 0) {
        print_played("Done", session.samples_written);
    }
    bool counts_differ = session.samples_written != session.declared_samples;
    if (counts_differ && op_seekable(session.decoder)) {
        fprintf(stderr,
                "\nWARNING: Number of output samples does not match declared file duration.\n");
        if (!session.output_seekable) {
            fprintf(stderr, "Output WAV file will be corrupt.\n");
        }
    }
    // An empty file was first given the placeholder sizes (or, from a
    // seekable input, the same ones for a declared length of 0).
    if (session.output_seekable && (counts_differ || session.samples_written == 0)) {
        rewrite_header(session, header, header_offset);
    }
}

} // namespace

int opus2wav_main(int argc, char **argv) {
    setup_utf8_arguments(&argc, &argv);
    protect_standard_streams();
    // Every write reaches the descriptor when it is made, so a failure is
    // reported by the write that failed and nothing counted as written is
    // still waiting in a buffer.
    setvbuf(stdout, nullptr, _IONBF, 0);
    if (argc != 2) {
        const char *program = argc > 0 && argv[0] != nullptr ? argv[0] : "opus2wav";
        fprintf(stderr, "Usage: %s <file.opus>\n", program);
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

    DecodeSession session;
    int error = 0;
    if (strcmp(input_name, "-") == 0) {
        session.decoder = open_standard_input(&error);
    } else {
        session.decoder = open_named_input(input_name, &session.source_is_ssl, &error);
    }
    if (session.decoder == nullptr) {
        fprintf(stderr, "Failed to open file '%s': %i\n", input_name, error);
        return 1;
    }

    // An output in append mode would put a rewritten header at its end, so
    // it counts as one that cannot seek.
    long header_offset = -1;
    if (fseek(stdout, 0, SEEK_CUR) != -1 && !stream_appends(stdout)) {
        header_offset = ftell(stdout);
    }
    session.output_seekable = header_offset >= 0;

    if (op_seekable(session.decoder)) {
        session.declared_samples = report_stream_totals(session.decoder);
    } else if (!session.output_seekable) {
        fprintf(stderr, "WARNING: Neither input nor output are seekable.\n");
        fprintf(stderr, "Writing non-standard WAV header with invalid chunk sizes.\n");
    }

    WavHeader header;
    fill_wav_header(&header, session.declared_samples);
    if (fwrite(header.bytes, WAV_HEADER_SIZE, 1, stdout) == 0) {
        fprintf(stderr, "Error writing WAV header: %s\n", strerror(errno));
        op_free(session.decoder);
        return 1;
    }

    // From here on there is a file to finish: an interrupt ends the run
    // cleanly instead of leaving the first header behind.
    catch_interrupts();
    decode_loop(session, input_name);
    finish_run(session, header, header_offset);
    op_free(session.decoder);
    if (interrupt_signal() != 0) {
        end_by_signal(interrupt_signal());
    }
    return session.exit_status;
}
