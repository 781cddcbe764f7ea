#include "platform/standard_streams.h"

#include "platform/interrupts.h"

#include <cerrno>

#ifndef _WIN32
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
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

void wait_for_descriptor(int fd, short events) {
    struct pollfd ready {};
    ready.fd = fd;
    ready.events = events;
    poll(&ready, 1, -1);
}

int64_t descriptor_position(FILE *stream) {
    return static_cast<int64_t>(lseek(fileno(stream), 0, SEEK_CUR));
}

bool stream_appends(FILE *stream) {
    int flags = fcntl(fileno(stream), F_GETFL);
    return flags != -1 && (flags & O_APPEND) != 0;
}

namespace {

// One write of at most length bytes to standard output's descriptor: what it
// took, or -1 with errno set. write_output below retries it. A descriptor
// handed over non-blocking is waited for until it takes bytes again; its
// flags are the parent's and stay as they are.
long write_some(const char *bytes, size_t length) {
    long put = static_cast<long>(write(STDOUT_FILENO, bytes, length));
    if (put == -1 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
        wait_for_descriptor(STDOUT_FILENO, POLLOUT);
        errno = EINTR; // retried, or given up for an interrupt, by the caller
    }
    return put;
}

} // namespace

bool seek_output(int64_t offset) {
    return lseek(STDOUT_FILENO, static_cast<off_t>(offset), SEEK_SET) != -1;
}

int64_t output_file_size() {
    struct stat file {};
    if (fstat(STDOUT_FILENO, &file) != 0 || !S_ISREG(file.st_mode)) {
        return -1;
    }
    return static_cast<int64_t>(file.st_size);
}

void cut_output_back(int64_t size_before, size_t written) {
    int saved = errno;
    if (size_before >= 0 && written > 0 &&
        output_file_size() == size_before + static_cast<int64_t>(written) &&
        ftruncate(STDOUT_FILENO, static_cast<off_t>(size_before)) == 0) {
        lseek(STDOUT_FILENO, static_cast<off_t>(size_before), SEEK_SET);
    }
    errno = saved;
}

#else
#include <io.h>

namespace {

long write_some(const char *bytes, size_t length) {
    return _write(_fileno(stdout), bytes,
                  static_cast<unsigned>(length > 0x40000000 ? 0x40000000 : length));
}

} // namespace

bool seek_output(int64_t offset) {
    return _lseeki64(_fileno(stdout), offset, SEEK_SET) != -1;
}

int64_t output_file_size() {
    return -1;
}

void cut_output_back(int64_t, size_t) {}

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

int write_output(const void *bytes, size_t length, size_t *written) {
    const char *next = static_cast<const char *>(bytes);
    *written = 0;
    while (*written < length) {
        long put = write_some(next + *written, length - *written);
        if (put > 0) {
            *written += static_cast<size_t>(put);
        } else if (put == -1 && errno == EINTR) {
            if (interrupt_signal() != 0) {
                return OUTPUT_INTERRUPTED;
            }
        } else {
            if (put == 0) {
                errno = EIO;
            }
            return OUTPUT_FAILED;
        }
    }
    return OUTPUT_WRITTEN;
}
