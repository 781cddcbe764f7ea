// libFuzzer target: the whole program on arbitrary bytes, once through a file
// name (a seekable input) and once through standard input (a pipe), with
// standard output going to a sink.
#include "driver/entry.h"

#include <cstdint>
#include <cstdio>
#include <fcntl.h>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

namespace {

int input_fd = -1;
std::string input_path;

void prepare_once() {
    if (input_fd >= 0) {
        return;
    }
    input_fd = memfd_create("fuzz-input", 0);
    input_path = "/proc/self/fd/" + std::to_string(input_fd);
    int sink = open("/dev/null", O_WRONLY);
    dup2(sink, 1);
    close(sink);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    prepare_once();
    if (ftruncate(input_fd, 0) != 0 ||
        pwrite(input_fd, data, size, 0) != static_cast<ssize_t>(size)) {
        return 0;
    }
    char name[] = "opus2wav";
    std::string path = input_path;
    char *by_name[] = {name, &path[0], nullptr};
    opus2wav_main(2, by_name);
    fflush(stdout);

    // Standard input: a pipe when the bytes fit in its buffer, so that the
    // paths of an input that cannot seek run too; a descriptor of the file
    // otherwise. The decoder closes it when it is released.
    int in = -1;
    int ends[2];
    if (size <= 60000 && pipe(ends) == 0) {
        bool written = write(ends[1], data, size) == static_cast<ssize_t>(size);
        close(ends[1]);
        if (written) {
            in = ends[0];
        } else {
            close(ends[0]);
        }
    } else {
        in = open(input_path.c_str(), O_RDONLY);
    }
    if (in >= 0) {
        dup2(in, 0);
        close(in);
        char dash[] = "-";
        char *by_stdin[] = {name, dash, nullptr};
        opus2wav_main(2, by_stdin);
        fflush(stdout);
    }
    return 0;
}
