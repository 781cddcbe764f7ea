// The decoding library reads the input through these callbacks on a plain
// descriptor (standard input, or a file opened by name), so that a read
// blocked on a pipe, a FIFO or a stalled device comes back at once when the
// run has been asked to stop, instead of being retried by a stdio stream.
// Reads go to the descriptor in large blocks; a descriptor handed over
// non-blocking is waited for. On Windows only standard input goes through
// here (files are opened by the library), and a blocked read is not
// interrupted.
#pragma once

#include <cstdint>

#include <opusfile.h>

#include "input/ogg_pages.h"

// Bytes asked of the descriptor at a time.
constexpr int INPUT_BLOCK_SIZE = 65536;
// The read-ahead block also holds the input's tail when its end is judged.
static_assert(INPUT_BLOCK_SIZE >= OGG_TAIL_SIZE, "the tail fits in the block");

struct DescriptorInput {
    int fd = -1;
    bool owned = false; // closed when the decoder is freed
    // Where the input starts on a seekable descriptor: a standard input
    // that its parent left part-way through a file is read from there on,
    // and every offset the library sees counts from that point.
    int64_t base = 0;
    // Bytes read ahead of the library: block[next, end).
    int next = 0;
    int end = 0;
    // Set for a descriptor read as a stream (one that cannot seek, or a
    // file read as one), whose last bytes are kept as they pass, for the
    // judgement of its end.
    bool keeps_tail = false;
    // Set once a read found the end of the input.
    bool ended = false;
    PageTail tail;
    // INPUT_BLOCK_SIZE bytes of static storage (one input per process at a
    // time), so that no large buffer lives on the stack.
    unsigned char *block = nullptr;
};

// Fills callbacks for input; the library is handed &input as its stream.
// Seeking works exactly when the descriptor can seek.
void descriptor_callbacks(OpusFileCallbacks *callbacks);

// Takes the descriptor's current position as the input's start.
void start_descriptor_input(DescriptorInput *input, int fd, bool owned);

// Puts a seekable input back at its start, to be read from there as a
// stream is read (its tail kept as it passes); false when it cannot seek.
bool restart_as_stream(DescriptorInput *input);

// Closes what input owns.
void close_descriptor_input(DescriptorInput *input);
