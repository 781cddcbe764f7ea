// Standard output, written straight to its descriptor (never through a
// stdio buffer), so that a byte counts as written once the descriptor took
// it and the position there is where the next byte goes.
//
// errno: every failure leaves errno set for the error line. Two values are
// set here on purpose: EINTR when a write was given up because the run was
// asked to stop (write_output's OUTPUT_INTERRUPTED), and EIO when the
// descriptor took no bytes without saying why.
#pragma once

#include <cstddef>
#include <cstdint>

// Outcomes of write_output.
constexpr int OUTPUT_WRITTEN = 0;
constexpr int OUTPUT_FAILED = -1;     // errno says why
constexpr int OUTPUT_INTERRUPTED = 1; // given up because the run was asked to stop

// Writes length bytes, retrying short writes and waiting for a descriptor
// handed over non-blocking; *written says how many reached it whatever the
// outcome. A write blocked on a full pipe is given up when an interrupt
// arrives.
int write_output(const void *bytes, size_t length, size_t *written);

// The descriptor's position in bytes from its start, -1 when it cannot seek.
int64_t output_position();

// True when the descriptor is in append mode: writes go to its end whatever
// the position, so nothing can be rewritten in place. Always false on
// Windows.
bool output_appends();

// Moves the descriptor to offset bytes from its start; false on failure.
bool seek_output(int64_t offset);

// The size of the regular file on standard output, -1 for anything else
// (always -1 on Windows).
int64_t output_file_size();

// True when standard output is the regular file at path, or the one that
// descriptor fd reads (the same device and inode): the one comparison of a
// file with the output. Always false on Windows.
bool output_is_file(const char *path);
bool output_is_file_of(int fd);

// Undoes a write of written bytes that failed part-way: a file that had
// size_before bytes and grew by exactly written is cut back to size_before,
// and the descriptor put back there. A write that went over bytes already
// there is left alone. errno is kept. Does nothing on Windows.
void cut_output_back(int64_t size_before, size_t written);
