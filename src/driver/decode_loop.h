// The decode loop: every block of the input, read, reported, converted and
// appended to standard output.
#pragma once

#include "driver/decode_session.h"
#include "input/input_end.h"

// Reads every block of the open decoder and appends it to standard output
// behind the first header, until the input ends, an error stops it or the
// run is interrupted; session.end says which, session.samples_written how
// much was written. shown_name is the input name as messages show it, used
// in the decoding error line. input is what the library reads: an error
// that comes once a stream was read to its cut end is the end of the input.
void decode_loop(DecodeSession &session, const char *shown_name, DescriptorInput *input);

// Converts samples stereo samples of interleaved 16-bit values into
// little-endian bytes, WAV_BYTES_PER_SAMPLE per sample, whatever the host
// byte order.
void pcm_to_little_endian(const opus_int16 *pcm, int samples, unsigned char *out);
