#include "platform/descriptor_input.h"

#include "platform/interrupts.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>

#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>
#define o2w_read read
#define o2w_lseek lseek
#define o2w_close close
using read_size = ssize_t;
#else
#include <io.h>
#define o2w_read _read
#define o2w_lseek _lseeki64
#define o2w_close _close
using read_size = int;
#endif

namespace {

int read_input(void *stream, unsigned char *bytes, int count) {
    int fd = static_cast<DescriptorInput *>(stream)->fd;
    for (;;) {
        // An interrupt that came while the report or a write was under way is
        // not waited for in a read that may never return.
        if (interrupt_signal() != 0) {
            return -1;
        }
        read_size got = o2w_read(fd, bytes, static_cast<unsigned>(count));
        if (got >= 0) {
            return static_cast<int>(got);
        }
        if (errno != EINTR) {
            return -1;
        }
    }
}

int seek_input(void *stream, opus_int64 offset, int whence) {
    int fd = static_cast<DescriptorInput *>(stream)->fd;
    return o2w_lseek(fd, offset, whence) == -1 ? -1 : 0;
}

opus_int64 tell_input(void *stream) {
    return o2w_lseek(static_cast<DescriptorInput *>(stream)->fd, 0, SEEK_CUR);
}

int close_input(void *stream) {
    close_descriptor_input(static_cast<DescriptorInput *>(stream));
    return 0;
}

} // namespace

void descriptor_callbacks(OpusFileCallbacks *callbacks) {
    callbacks->read = read_input;
    callbacks->seek = seek_input;
    callbacks->tell = tell_input;
    callbacks->close = close_input;
}

void close_descriptor_input(DescriptorInput *input) {
    if (input->owned && input->fd >= 0) {
        o2w_close(input->fd);
    }
    input->fd = -1;
    input->owned = false;
}

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

int open_input_file(const char *) {
    return -1;
}

#endif
