#include "wav/wav_header.h"

#include <cstdio>
#include <cstring>

namespace {

// The fixed fields; every header starts as a fresh copy, then gets its sizes.
const unsigned char WAV_TEMPLATE[WAV_HEADER_SIZE] = {
    0x52, 0x49, 0x46, 0x46, 0x00, 0x00, 0x00, 0x00, 0x57, 0x41, 0x56, 0x45, 0x66, 0x6D, 0x74,
    0x20, 0x10, 0x00, 0x00, 0x00, 0x01, 0x00, 0x02, 0x00, 0x80, 0xBB, 0x00, 0x00, 0x00, 0xEE,
    0x02, 0x00, 0x04, 0x00, 0x10, 0x00, 0x64, 0x61, 0x74, 0x61, 0x00, 0x00, 0x00, 0x00};

constexpr int RIFF_SIZE_OFFSET = 4;
constexpr int DATA_SIZE_OFFSET = 40;

void store_le32(unsigned char *at, uint32_t value) {
    at[0] = static_cast<unsigned char>(value & 0xFF);
    at[1] = static_cast<unsigned char>((value >> 8) & 0xFF);
    at[2] = static_cast<unsigned char>((value >> 16) & 0xFF);
    at[3] = static_cast<unsigned char>((value >> 24) & 0xFF);
}

void fill_sizes(WavHeader *header, int64_t sample_count) {
    std::memcpy(header->bytes, WAV_TEMPLATE, WAV_HEADER_SIZE);
    if (sample_count <= 0 || sample_count > WAV_MAX_SAMPLES) {
        store_le32(header->bytes + RIFF_SIZE_OFFSET, WAV_SIZE_PLACEHOLDER);
        store_le32(header->bytes + DATA_SIZE_OFFSET, WAV_SIZE_PLACEHOLDER);
        return;
    }
    uint32_t data_size = static_cast<uint32_t>(sample_count) * WAV_BYTES_PER_SAMPLE;
    store_le32(header->bytes + RIFF_SIZE_OFFSET, data_size + 36u);
    store_le32(header->bytes + DATA_SIZE_OFFSET, data_size);
}

} // namespace

void warn_wav_limit(int64_t sample_count) {
    if (sample_count > WAV_MAX_SAMPLES) {
        fprintf(stderr, "WARNING: WAV output would be larger than 2 GB.\n");
        fprintf(stderr, "Writing non-standard WAV header with invalid chunk sizes.\n");
    }
}

void fill_wav_header(WavHeader *header, int64_t sample_count) {
    fill_sizes(header, sample_count);
    warn_wav_limit(sample_count);
}

void fill_final_wav_header(WavHeader *header, int64_t sample_count) {
    fill_sizes(header, sample_count);
    if (sample_count == 0) {
        store_le32(header->bytes + RIFF_SIZE_OFFSET, 36u);
        store_le32(header->bytes + DATA_SIZE_OFFSET, 0u);
    }
}
