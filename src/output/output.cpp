#include "output/output.h"

#include "signals/interrupts.h"

#include <cerrno>
#include <cstdio>

#ifndef _WIN32
#include "startup/standard_streams.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

static_assert(sizeof(off_t) == 8, "files past 2 GB need 64-bit offsets: _FILE_OFFSET_BITS=64");

namespace {

// One write of at most length bytes: what it took, or -1 with errno set.
// write_output retries it. A descriptor handed over non-blocking is waited
// for until it takes bytes again; its flags are the parent's and stay as
// they are.
long write_some(const char *bytes, size_t length) {
    long put = static_cast<long>(write(STDOUT_FILENO, bytes, length));
    if (put == -1 && would_block(errno)) {
        wait_for_descriptor(STDOUT_FILENO, POLLOUT);
        errno = EINTR; // retried, or given up for an interrupt, by the caller
    }
    return put;
}

} // namespace

int64_t output_position() {
    return static_cast<int64_t>(lseek(STDOUT_FILENO, 0, SEEK_CUR));
}

bool output_appends() {
    int flags = fcntl(STDOUT_FILENO, F_GETFL);
    return flags != -1 && (flags & O_APPEND) != 0;
}

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

namespace {

// Only a regular file can be written over.
bool output_is(const struct stat &file) {
    struct stat output {};
    return fstat(STDOUT_FILENO, &output) == 0 && S_ISREG(output.st_mode) &&
           file.st_dev == output.st_dev && file.st_ino == output.st_ino;
}

} // namespace

bool output_is_file(const char *path) {
    struct stat named {};
    return stat(path, &named) == 0 && output_is(named);
}

bool output_is_file_of(int fd) {
    struct stat file {};
    return fstat(fd, &file) == 0 && output_is(file);
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

int64_t output_position() {
    return static_cast<int64_t>(_lseeki64(_fileno(stdout), 0, SEEK_CUR));
}

bool output_appends() {
    return false;
}

bool seek_output(int64_t offset) {
    return _lseeki64(_fileno(stdout), offset, SEEK_SET) != -1;
}

int64_t output_file_size() {
    return -1;
}

bool output_is_file(const char *) {
    return false;
}

bool output_is_file_of(int) {
    return false;
}

void cut_output_back(int64_t, size_t) {}

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
