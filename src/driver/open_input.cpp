#include "driver/open_input.h"

#include "input/local_input.h"
#include "input/name_parts.h"
#include "input/url_library.h"
#include "output/output.h"
#include "report/stream_report.h"
#include "report/untrusted_text.h"
#include "signals/open_deadline.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// The line printed when the bound runs out, made before the clock starts:
// the handler only writes it. Null when there is no memory for it.
char *timeout_line(const char *shown_name) {
    const char *format = "Failed to open file '%s': timed out after %u s\n";
    size_t size = strlen(format) + strlen(shown_name) + 16;
    char *line = static_cast<char *>(malloc(size));
    if (line != nullptr) {
        snprintf(line, size, format, shown_name, URL_OPEN_BOUND_SECONDS);
    }
    return line;
}

// Through the URL library, with its station facts. False when it gives no
// decoder; *reported is set when that failure has been reported here.
bool open_url(const char *name, const char *shown_name, InputKind kind, OpenedInput *opened,
              bool *reported) {
    UrlLibrary library;
    const char *why = "";
    if (!load_url_library(&library, &why)) {
        if (kind == InputKind::NETWORK_URL || kind == InputKind::FILE_URL) {
            fprintf(stderr, "Failed to open file '%s': cannot load the URL library: ", shown_name);
            print_untrusted(stderr, why);
            fputc('\n', stderr);
            *reported = true;
        }
        return false;
    }
    // A server that never finishes its response must not hold the run.
    char *timed_out = kind == InputKind::NETWORK_URL ? timeout_line(shown_name) : nullptr;
    if (timed_out != nullptr) {
        arm_open_deadline(timed_out, strlen(timed_out), URL_OPEN_BOUND_SECONDS);
    }
    OpusServerInfo info;
    opened->decoder = library.open_url(name, &opened->error, OP_GET_SERVER_INFO(&info), nullptr);
    if (timed_out != nullptr) {
        disarm_open_deadline();
        free(timed_out);
    }
    if (opened->decoder == nullptr) {
        return false;
    }
    report_server_info(&info);
    opened->source_is_ssl = info.is_ssl;
    library.clear_server_info(&info);
    return true;
}

// A file: URL names a local file too, which the library opens itself: each
// form the name may be read in is compared with standard output.
bool output_is_file_url(const char *name, const NameParts &parts) {
    const Escapes forms[] = {Escapes::KEPT, Escapes::DECODED, Escapes::DECODED_AND_KEPT};
    char *path = static_cast<char *>(malloc(3 * strlen(name) + 1));
    bool same = false;
    for (Escapes escapes : forms) {
        for (int cut = 0; cut < 2; cut++) {
            same =
                same || (path != nullptr && file_url_path(name, parts, escapes, cut != 0, path) &&
                         output_is_file(path));
        }
    }
    free(path);
    return same;
}

// Writing into the file being read would destroy it while it is decoded.
bool refuse_output_over_input(const char *name, const NameParts &parts, const char *shown_name,
                              OpenedInput *opened) {
    bool same = opened->descriptor.fd >= 0 ? input_is_output(&opened->descriptor)
                                           : output_is_file_url(name, parts);
    if (!same) {
        return false;
    }
    fprintf(stderr,
            "Not writing WAV data over the input: standard output is the file '%s' itself.\n",
            shown_name);
    op_free(opened->decoder);
    opened->decoder = nullptr;
    return true;
}

} // namespace

// A name with a scheme is tried as a URL first, and as a local file when
// that gives nothing; other names are local files from the start.
bool open_input(const char *name, const NameParts &parts, const char *shown_name,
                OpenedInput *opened) {
    InputKind kind = parts.kind;
    bool reported = false;
    if (kind == InputKind::STANDARD_INPUT) {
        opened->decoder = open_standard_input(&opened->descriptor, &opened->error);
    } else if ((kind == InputKind::PLAIN_PATH ||
                !open_url(name, shown_name, kind, opened, &reported)) &&
               !reported) {
        opened->decoder = open_local_file(name, &opened->descriptor, &opened->error);
    }
    if (opened->decoder == nullptr && !reported) {
        fprintf(stderr, "Failed to open file '%s': %i\n", shown_name, opened->error);
    }
    return opened->decoder != nullptr && !refuse_output_over_input(name, parts, shown_name, opened);
}
