// Built for Windows and run under Wine by the tests: runs the start-up step,
// then reports what it left.
//   - each argument as hex bytes, one line each, on standard output, first
//     as the runtime gave it ("before ...") and then after the step;
//   - with the single argument "copy": standard input copied to standard
//     output byte for byte, and "<<a\nb>>" written to standard error, which
//     should still be a text stream ("\n" becomes "\r\n").
#include "startup/standard_streams.h"
#include "startup/utf8_arguments.h"

#include <cstdio>
#include <cstring>

static void print_hex(const char *label, const char *text) {
    printf("%s ", label);
    for (const unsigned char *p = reinterpret_cast<const unsigned char *>(text); *p; p++) {
        printf("%02X", *p);
    }
    printf("\n");
}

int main(int argc, char **argv) {
    if (argc >= 2 && std::strcmp(argv[1], "copy-untouched") == 0) {
        // The same copy without the step: shows what the step changes.
        char buffer[4096];
        size_t n;
        while ((n = fread(buffer, 1, sizeof buffer, stdin)) > 0) {
            fwrite(buffer, 1, n, stdout);
        }
        return 0;
    }
    bool copy = argc == 2 && std::strcmp(argv[1], "copy") == 0;
    for (int i = 1; i < argc && !copy; i++) {
        print_hex("before", argv[i]);
    }
    set_binary_standard_streams();
    setup_utf8_arguments(&argc, &argv);
    if (copy) {
        char buffer[4096];
        size_t n;
        while ((n = fread(buffer, 1, sizeof buffer, stdin)) > 0) {
            fwrite(buffer, 1, n, stdout);
        }
        fputs("<<a\nb>>", stderr);
        return 0;
    }
    printf("argc=%d\n", argc);
    for (int i = 1; i < argc; i++) {
        print_hex("after", argv[i]);
    }
    return 0;
}
