// The end of a run: the frames that really reached the output, the header
// made true, the closing lines, the decoder released and the exit status.
#pragma once

#include "driver/decode_session.h"
#include "wav/wav_header.h"

#include <cstdint>

// Finishes the run whose first header went to header_offset (-1 when the
// output cannot be rewritten) and frees the decoder. Returns the exit
// status; a run stopped by an interrupt ends here by that signal instead.
int end_run(DecodeSession &session, WavHeader &header, int64_t header_offset);
