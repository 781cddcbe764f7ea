// Guards for the standard streams, set up once at start, and the wait for a
// standard descriptor that its parent handed over non-blocking.
#pragma once

#include <cstdio>

// Ignores SIGPIPE and SIGXFSZ, so that a reader that went away or a file
// size limit shows as a write error instead of killing the process, and
// fills a closed standard output or standard error with /dev/null, so that
// no file or socket opened later takes its descriptor. Standard output is
// opened read-only there, so writes to it still fail. Does nothing on
// Windows.
void protect_standard_streams();

// True when the stream is a terminal.
bool stream_is_terminal(FILE *stream);

// Puts standard input and standard output into binary mode on Windows, so
// that no byte of the audio is translated (standard error stays text). Does
// nothing elsewhere. Called first thing by the entry.
void set_binary_standard_streams();

#ifndef _WIN32
#include <cerrno>

// True when a call failed only because its descriptor was handed over
// non-blocking and is not ready.
inline bool would_block(int error) {
#if EWOULDBLOCK != EAGAIN
    return error == EAGAIN || error == EWOULDBLOCK;
#else
    return error == EAGAIN;
#endif
}

// Waits until fd is ready for events (POLLIN or POLLOUT), for a descriptor
// handed over non-blocking; returns early when a signal arrives.
void wait_for_descriptor(int fd, short events);
#endif
