#include "driver/decode_session.h"
#include "platform/descriptor_input.h"
#include "platform/interrupts.h"
#include "platform/open_deadline.h"
#include "platform/standard_streams.h"
#include "platform/url_library.h"
#include "platform/utf8_arguments.h"
#include "report/input_name.h"
#include "report/number_format.h"
#include "report/stream_report.h"
#include "wav/wav_header.h"

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#ifndef _WIN32
#include <unistd.h>
#else
#define STDIN_FILENO 0
#endif

namespace {

// How long opening an http or https URL may take in all.
constexpr unsigned URL_OPEN_BOUND_SECONDS = 60;

// The library reads the descriptor through callbacks of our own, so that a
// blocked read returns when the run is asked to stop. On failure the
// descriptor is closed here: the library does not take it over then.
OggOpusFile *open_descriptor(DescriptorInput *input, int *error) {
    OpusFileCallbacks callbacks;
    descriptor_callbacks(&callbacks);
    OggOpusFile *decoder = op_open_callbacks(input, &callbacks, nullptr, 0, error);
    if (decoder == nullptr) {
        close_descriptor_input(input);
    }
    return decoder;
}

OggOpusFile *open_standard_input(DescriptorInput *input, int *error) {
    // A closed standard input has nothing to read.
    if (!descriptor_is_open(STDIN_FILENO)) {
        *error = OP_EREAD;
        return nullptr;
    }
    input->fd = STDIN_FILENO;
    return open_descriptor(input, error);
}

OggOpusFile *open_local_file(const char *name, DescriptorInput *input, int *error) {
#ifdef _WIN32
    (void)input;
    return op_open_file(name, error);
#else
    input->fd = open_input_file(name);
    if (input->fd < 0) {
        *error = OP_EFAULT;
        return nullptr;
    }
    input->owned = true;
    return open_descriptor(input, error);
#endif
}

// Through the URL library, with its station facts; null when that gives no
// decoder. *reported is set when the failure has been reported here.
OggOpusFile *open_url(const char *name, const char *shown_name, int *source_is_ssl, int *error,
                      bool *reported) {
    UrlLibrary library;
    const char *why = "";
    if (!load_url_library(&library, &why)) {
        if (is_network_url(name) || url_scheme_is(name, "file")) {
            fprintf(stderr, "Failed to open file '%s': cannot load the URL library: ", shown_name);
            print_untrusted(stderr, why);
            fputc('\n', stderr);
            *reported = true;
        }
        return nullptr;
    }
    // A server that never finishes its response must not hold the run. The
    // line is made before the clock starts: the handler only writes it.
    char *timed_out = nullptr;
    if (is_network_url(name)) {
        const char *format = "Failed to open file '%s': timed out after %u s\n";
        size_t size = strlen(format) + strlen(shown_name) + 16;
        timed_out = static_cast<char *>(malloc(size));
        if (timed_out != nullptr) {
            int length = snprintf(timed_out, size, format, shown_name, URL_OPEN_BOUND_SECONDS);
            arm_open_deadline(timed_out, static_cast<size_t>(length), URL_OPEN_BOUND_SECONDS);
        }
    }
    OpusServerInfo info;
    OggOpusFile *decoder = library.open_url(name, error, OP_GET_SERVER_INFO(&info), nullptr);
    if (timed_out != nullptr) {
        disarm_open_deadline();
        free(timed_out);
    }
    if (decoder != nullptr) {
        report_server_info(&info);
        *source_is_ssl = info.is_ssl;
        library.clear_server_info(&info);
    }
    return decoder;
}

// A name that can be a URL is tried as one first; a local file when that
// gives nothing. Other names are local files from the start.
OggOpusFile *open_named_input(const char *name, const char *shown_name, DescriptorInput *input,
                              int *source_is_ssl, int *error, bool *reported) {
    if (url_scheme_length(name) != 0) {
        OggOpusFile *decoder = open_url(name, shown_name, source_is_ssl, error, reported);
        if (decoder != nullptr || *reported) {
            return decoder;
        }
    }
    return open_local_file(name, input, error);
}

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
    if (session.output_seekable && (session.exit_status != 0 || interrupted)) {
        count_frames_in_file(session, header_offset);
    }
    bool counts_differ = session.samples_written != session.declared_samples;
    // An empty file was first given the placeholder sizes (or, from a
    // seekable input, the same ones for a declared length of 0). The header
    // is made true before anything is printed, so that a second signal while
    // a slow standard error takes the messages cannot leave it false.
    bool rewrite = session.output_seekable && (counts_differ || session.samples_written == 0);
    bool rewrite_failed = rewrite && !rewrite_header(session, header, header_offset);
    int rewrite_error = errno;

    if (interrupted) {
        print_played("Interrupted", session.samples_written);
    } else if (session.exit_status == 0) {
        print_played("Done", session.samples_written);
    }
    if (counts_differ && op_seekable(session.decoder)) {
        fprintf(stderr,
                "\nWARNING: Number of output samples does not match declared file duration.\n");
        if (!session.output_seekable) {
            fprintf(stderr, "Output WAV file will be corrupt.\n");
        }
    }
    if (rewrite_failed) {
        fprintf(stderr, "Error rewriting WAV header: %s\n", strerror(rewrite_error));
        session.exit_status = 1;
    }
}

// The run from the open to the exit status.
int decode_input(const char *input_name, const char *shown_name) {
    DecodeSession session;
    DescriptorInput input;
    int error = 0;
    bool reported = false;
    if (strcmp(input_name, "-") == 0) {
        session.decoder = open_standard_input(&input, &error);
    } else {
        session.decoder = open_named_input(input_name, shown_name, &input, &session.source_is_ssl,
                                           &error, &reported);
    }
    if (session.decoder == nullptr) {
        if (!reported) {
            fprintf(stderr, "Failed to open file '%s': %i\n", shown_name, error);
        }
        return 1;
    }

    // An output in append mode would put a rewritten header at its end, so
    // it counts as one that cannot seek.
    int64_t header_offset = descriptor_position(stdout);
    if (stream_appends(stdout)) {
        header_offset = -1;
    }
    session.output_seekable = header_offset >= 0;

    if (op_seekable(session.decoder)) {
        session.declared_samples = report_stream_totals(session.decoder);
    } else if (!session.output_seekable) {
        fprintf(stderr, "WARNING: Neither input nor output are seekable.\n");
        fprintf(stderr, "Writing non-standard WAV header with invalid chunk sizes.\n");
    }

    // From the first header on there is a file to finish: the handlers are
    // in place before it is written, so an interrupt at any moment ends the
    // run cleanly instead of leaving that header behind. One that comes
    // before the header is complete ends the run with no frames, and a
    // seekable output then gets the exact header of an empty file.
    catch_interrupts();
    WavHeader header;
    fill_wav_header(&header, session.declared_samples);
    size_t put = 0;
    int outcome = write_output(header.bytes, WAV_HEADER_SIZE, &put);
    if (outcome == OUTPUT_FAILED) {
        fprintf(stderr, "Error writing WAV header: %s\n", strerror(errno));
        op_free(session.decoder);
        return 1;
    }
    if (outcome == OUTPUT_WRITTEN) {
        decode_loop(session, shown_name);
    }
    finish_run(session, header, header_offset);
    op_free(session.decoder);
    if (interrupt_signal() != 0) {
        end_by_signal(interrupt_signal());
    }
    return session.exit_status;
}

} // namespace

int opus2wav_main(int argc, char **argv) {
    setup_utf8_arguments(&argc, &argv);
    protect_standard_streams();
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

    // Messages show the name filtered, its password hidden; it is opened
    // as given.
    char *shown_name = shown_input_name(input_name);
    int status = decode_input(input_name, shown_name != nullptr ? shown_name : "?");
    free(shown_name);
    return status;
}
