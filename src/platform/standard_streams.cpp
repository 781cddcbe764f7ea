#include "platform/standard_streams.h"

#ifndef _WIN32
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

void reserve_descriptor(int fd, int flags) {
    if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) {
        return;
    }
    int got = open("/dev/null", flags);
    if (got >= 0 && got != fd) {
        dup2(got, fd);
        close(got);
    }
}

} // namespace

void protect_standard_streams() {
    signal(SIGPIPE, SIG_IGN);
    signal(SIGXFSZ, SIG_IGN);
    reserve_descriptor(1, O_RDONLY);
    reserve_descriptor(2, O_WRONLY);
}

bool stream_is_terminal(FILE *stream) {
    return isatty(fileno(stream)) != 0;
}

int64_t descriptor_position(FILE *stream) {
    return static_cast<int64_t>(lseek(fileno(stream), 0, SEEK_CUR));
}

bool stream_appends(FILE *stream) {
    int flags = fcntl(fileno(stream), F_GETFL);
    return flags != -1 && (flags & O_APPEND) != 0;
}

#else
#include <io.h>

void protect_standard_streams() {}

bool stream_is_terminal(FILE *stream) {
    return _isatty(_fileno(stream)) != 0;
}

int64_t descriptor_position(FILE *stream) {
    return static_cast<int64_t>(_lseeki64(_fileno(stream), 0, SEEK_CUR));
}

bool stream_appends(FILE *) {
    return false;
}

#endif
