#include "driver/decode_loop.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

TEST(PcmToLittleEndian, SampleValuesBecomeLowByteFirst) {
    // left, right pairs; each value's bytes are checked independently.
    const opus_int16 pcm[] = {1, -2, 32767, -32768, 0, 0x1234};
    const unsigned char expected[] = {0x01, 0x00, 0xFE, 0xFF, 0xFF, 0x7F,
                                      0x00, 0x80, 0x00, 0x00, 0x34, 0x12};
    unsigned char out[sizeof expected + 2];
    out[sizeof expected] = 0xAA; // nothing beyond 4 bytes per frame is written
    out[sizeof expected + 1] = 0xAA;
    pcm_to_little_endian(pcm, 3, out);
    EXPECT_EQ(std::vector<unsigned char>(out, out + sizeof expected),
              std::vector<unsigned char>(expected, expected + sizeof expected));
    EXPECT_EQ(out[sizeof expected], 0xAA);
    EXPECT_EQ(out[sizeof expected + 1], 0xAA);
}

TEST(PcmToLittleEndian, FullBlockFillsTheWholeOutputBuffer) {
    std::vector<opus_int16> pcm(PCM_BUFFER_VALUES);
    for (int i = 0; i < PCM_BUFFER_VALUES; i++) {
        pcm[i] = static_cast<opus_int16>(i * 7 - 30000);
    }
    std::vector<unsigned char> out(2 * PCM_BUFFER_VALUES);
    pcm_to_little_endian(pcm.data(), PCM_BUFFER_VALUES / 2, out.data());
    for (int i = 0; i < PCM_BUFFER_VALUES; i++) {
        int value = static_cast<int16_t>(out[2 * i] | (out[2 * i + 1] << 8));
        ASSERT_EQ(value, pcm[i]) << "value " << i;
    }
}

} // namespace
