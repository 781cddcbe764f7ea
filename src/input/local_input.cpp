#include "input/local_input.h"

#include "input/input_end.h"
#include "output/output.h"

#ifndef _WIN32
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>
#else
#include <io.h>
#define STDIN_FILENO 0
#endif

namespace {

#ifndef _WIN32
bool descriptor_is_open(int fd) {
    return fcntl(fd, F_GETFD) != -1;
}

int open_input_file(const char *path) {
    int fd;
    do {
        fd = open(path, O_RDONLY | O_NOCTTY | O_CLOEXEC);
    } while (fd == -1 && errno == EINTR);
    return fd;
}
#else
bool descriptor_is_open(int fd) {
    return _get_osfhandle(fd) != -1;
}
#endif

// The library reads the descriptor through callbacks of our own, so that a
// blocked read returns when the run is asked to stop. On failure the
// descriptor is closed here: the library does not take it over then.
//
// The library refuses a seekable input whose end was cut inside a later
// link (it looks for the end of every link there); read from the start as
// a stream, as through a pipe, it decodes every complete link and what it
// can of the cut one. Without seek and tell the library takes a stream for
// one that cannot seek.
OggOpusFile *open_descriptor(DescriptorInput *input, int *error) {
    OpusFileCallbacks callbacks;
    descriptor_callbacks(&callbacks);
    OggOpusFile *decoder = op_open_callbacks(input, &callbacks, nullptr, 0, error);
    if (decoder == nullptr && !input->keeps_tail && input_cut_short(input) &&
        restart_as_stream(input)) {
        callbacks.seek = nullptr;
        callbacks.tell = nullptr;
        decoder = op_open_callbacks(input, &callbacks, nullptr, 0, error);
    }
    if (decoder == nullptr) {
        close_descriptor_input(input);
    }
    return decoder;
}

} // namespace

OggOpusFile *open_standard_input(DescriptorInput *input, int *error) {
    // A closed standard input has nothing to read.
    if (!descriptor_is_open(STDIN_FILENO)) {
        *error = OP_EREAD;
        return nullptr;
    }
    start_descriptor_input(input, STDIN_FILENO, false);
    return open_descriptor(input, error);
}

OggOpusFile *open_local_file(const char *path, DescriptorInput *input, int *error) {
#ifdef _WIN32
    (void)input;
    return op_open_file(path, error);
#else
    int fd = open_input_file(path);
    if (fd < 0) {
        *error = OP_EFAULT;
        return nullptr;
    }
    start_descriptor_input(input, fd, true);
    return open_descriptor(input, error);
#endif
}

bool input_is_output(const DescriptorInput *input) {
    return input->fd >= 0 && output_is_file_of(input->fd);
}
