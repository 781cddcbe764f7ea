// Decoders for the inputs read through a descriptor of ours: standard input
// and a local file. On Windows a local file is opened by the library's own
// opener instead, which converts UTF-8 names; standard input still comes
// through here.
#pragma once

#include "input/descriptor_input.h"

#include <opusfile.h>

// The decoder for standard input, read through input; OP_EREAD when
// standard input is closed.
OggOpusFile *open_standard_input(DescriptorInput *input, int *error);

// The decoder for the local file at path, read through input (unused on
// Windows); OP_EFAULT when the file cannot be opened.
OggOpusFile *open_local_file(const char *path, DescriptorInput *input, int *error);

// True when standard output is the very file that input reads.
bool input_is_output(const DescriptorInput *input);
