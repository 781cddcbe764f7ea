// The decoding library reads the input through these callbacks on a plain
// descriptor (standard input, or a file opened by name), so that a read
// blocked on a pipe, a FIFO or a stalled device comes back at once when the
// run has been asked to stop, instead of being retried by a stdio stream.
#pragma once

#include <opusfile.h>

struct DescriptorInput {
    int fd = -1;
    bool owned = false; // closed when the decoder is freed
};

// Fills callbacks for input; the library is handed &input as its stream.
// Seeking works exactly when the descriptor can seek.
void descriptor_callbacks(OpusFileCallbacks *callbacks);

// True when fd is an open descriptor.
bool descriptor_is_open(int fd);

// Opens a local file for reading; -1 when it cannot be opened. Not used on
// Windows, where the library's own opener converts UTF-8 names.
int open_input_file(const char *path);

// Closes what input owns.
void close_descriptor_input(DescriptorInput *input);
