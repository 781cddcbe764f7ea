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

bool stream_appends(FILE *stream) {
    int flags = fcntl(fileno(stream), F_GETFL);
    return flags != -1 && (flags & O_APPEND) != 0;
}

#else

void protect_standard_streams() {}

bool stream_appends(FILE *) {
    return false;
}

#endif
