// The judgement of an input's end: whether it ends exactly where a complete
// Ogg page ends, from the bytes where they are (a file) or as they were kept
// passing by (a stream): the same bytes, the same verdict.
#pragma once

#include "input/descriptor_input.h"

// True when the input, read to its end, does not end exactly where a
// complete Ogg page ends: its last page was cut, or bytes follow the last
// page. A seekable input has its tail read where it is; one read as a
// stream had its tail kept as it was read. False for an input that is not a
// descriptor of ours (a URL), and for a seekable one that is not a regular
// file.
bool input_cut_short(DescriptorInput *input);

// True when a stream was read to its end and that end was cut short: a
// decoding error that comes then comes from the cut itself.
bool stream_ended_cut_short(DescriptorInput *input);
