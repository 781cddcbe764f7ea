#include "startup/standard_streams.h"

#ifndef _WIN32
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
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

void set_binary_standard_streams() {}

void wait_for_descriptor(int fd, short events) {
    struct pollfd ready {};
    ready.fd = fd;
    ready.events = events;
    poll(&ready, 1, -1);
}

#else
#include <fcntl.h>
#include <io.h>

void protect_standard_streams() {}

bool stream_is_terminal(FILE *stream) {
    return _isatty(_fileno(stream)) != 0;
}

void set_binary_standard_streams() {
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
}

#endif
