// Guards for the standard streams, set up once at start.
#pragma once

#include <cstdint>
#include <cstdio>

// Ignores SIGPIPE and SIGXFSZ, so that a reader that went away or a file
// size limit shows as a write error instead of killing the process, and fills a closed standard
// output or standard error with /dev/null, so that no file or socket opened later takes its
// descriptor. Standard output is opened read-only there, so writes to it still fail.
void protect_standard_streams();

// True when the stream's descriptor is in append mode: writes go to its end
// whatever the position, so nothing can be rewritten in place.
bool stream_appends(FILE *stream);

// The position of the stream's descriptor in bytes, -1 when it has none. The
// stream must be unbuffered, so that this is where the next byte goes.
int64_t descriptor_position(FILE *stream);

// True when the stream is a terminal.
bool stream_is_terminal(FILE *stream);

#ifndef _WIN32
// Waits until fd is ready for events (POLLIN or POLLOUT), for a descriptor
// handed over non-blocking; returns early when a signal arrives.
void wait_for_descriptor(int fd, short events);
#endif

// Outcomes of write_output.
constexpr int OUTPUT_WRITTEN = 0;
constexpr int OUTPUT_FAILED = -1;     // errno says why
constexpr int OUTPUT_INTERRUPTED = 1; // given up because the run was asked to stop

// Writes length bytes to standard output's descriptor, retrying short
// writes; *written says how many reached it whatever the outcome. A write
// blocked on a full pipe is given up when an interrupt arrives.
int write_output(const void *bytes, size_t length, size_t *written);

// Moves standard output's descriptor to offset bytes from its start; false
// on failure, with errno set.
bool seek_output(int64_t offset);

// The size of the regular file on standard output, -1 for anything else.
int64_t output_file_size();

// Undoes a write of written bytes that failed part-way: a file that had
// size_before bytes and grew by exactly written is cut back to size_before,
// as it was before. A write that went over bytes already there is left
// alone. errno is kept.
void cut_output_back(int64_t size_before, size_t written);
