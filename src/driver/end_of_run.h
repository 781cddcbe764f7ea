// The end of a run: the samples that really reached the output, the header
// made true, the closing lines and the exit status.
#pragma once

#include "driver/decode_session.h"
#include "input/input_end.h"
#include "wav/wav_header.h"

// Finishes the run after decoding stopped for session.end (the first header
// is written, or its write was interrupted): counts what a seekable output
// holds, makes its header true, ends phase 2 of the interrupts and prints
// every closing line, in the order written at the top of end_run. input is
// what the library read (its end is judged when the run decoded it all).
// Returns the exit status; the decoder stays open.
int end_run(DecodeSession &session, WavHeader &header, DescriptorInput *input);
