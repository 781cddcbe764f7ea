// The 44-byte RIFF/WAVE header that opens the output: 16-bit PCM, two
// channels, 48 kHz.
#pragma once

#include <cstdint>

constexpr int WAV_HEADER_SIZE = 44;
// Bytes of one stereo sample in the data: two 16-bit values.
constexpr int WAV_BYTES_PER_SAMPLE = 4;
// Both size fields hold this when the length is unknown or too large.
constexpr uint32_t WAV_SIZE_PLACEHOLDER = 2147483647u;
// The largest frame count for which riff_size = 4 * count + 36 fits in 2^31 - 1.
// The limit is also stated, on purpose independently of this constant, in
// the warning's text ("larger than 2 GB", wav_header.cpp), the header test's
// rows (tests/wav/wav_header_test.cpp), the tests' own header check
// (expected_header in tests/support/run.cpp) and the manual page
// (docs/opus2wav.1.in, twice): a change here goes there too.
constexpr int64_t WAV_MAX_SAMPLES = 536870902;

// A plain byte image, laid out exactly as it is written; the multi-byte
// fields are stored little-endian whatever the host.
struct WavHeader {
    unsigned char bytes[WAV_HEADER_SIZE];
};

// Builds the header for sample_count stereo frames. A count of 0 or less
// gives the placeholder sizes silently; a count above WAV_MAX_SAMPLES gives
// them with two warning lines on standard error.
void fill_wav_header(WavHeader *header, int64_t sample_count);

// Builds the header of a finished file whose length is known: as
// fill_wav_header, except that a count of 0 gives the exact sizes of an empty
// file (RIFF size 36, data size 0) instead of the placeholders, and that
// nothing is printed: the caller warns with warn_wav_limit where its lines
// belong.
void fill_final_wav_header(WavHeader *header, int64_t sample_count);

// The two warning lines of a count above WAV_MAX_SAMPLES; nothing otherwise.
void warn_wav_limit(int64_t sample_count);
