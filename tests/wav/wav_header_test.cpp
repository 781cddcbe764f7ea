#include "wav/wav_header.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

const std::string PLACEHOLDER_TEMPLATE(
    "RIFF\xFF\xFF\xFF\x7FWAVEfmt \x10\x00\x00\x00\x01\x00\x02\x00\x80\xBB\x00\x00\x00\xEE\x02\x00"
    "\x04\x00\x10\x00"
    "data\xFF\xFF\xFF\x7F",
    44);

const char *const LIMIT_WARNING = "WARNING: WAV output would be larger than 2 GB.\n"
                                  "Writing non-standard WAV header with invalid chunk sizes.\n";

struct HeaderCase {
    int64_t count;
    std::string riff_size;
    std::string data_size;
    bool warns;
};

void PrintTo(const HeaderCase &c, std::ostream *os) {
    *os << c.count;
}

class WavHeaderTable : public testing::TestWithParam<HeaderCase> {};

TEST_P(WavHeaderTable, SizesAndWarnings) {
    const HeaderCase &c = GetParam();
    WavHeader header;
    testing::internal::CaptureStderr();
    fill_wav_header(&header, c.count);
    std::string err = testing::internal::GetCapturedStderr();
    std::string bytes(reinterpret_cast<const char *>(header.bytes), WAV_HEADER_SIZE);

    std::string expected = PLACEHOLDER_TEMPLATE;
    expected.replace(4, 4, c.riff_size);
    expected.replace(40, 4, c.data_size);
    EXPECT_EQ(bytes, expected);
    EXPECT_EQ(err, c.warns ? LIMIT_WARNING : "");
}

const std::string PH("\xFF\xFF\xFF\x7F", 4);

INSTANTIATE_TEST_SUITE_P(Counts, WavHeaderTable,
                         testing::Values(HeaderCase{-1, PH, PH, false},
                                         HeaderCase{0, PH, PH, false},
                                         HeaderCase{INT64_MIN, PH, PH, false},
                                         HeaderCase{1, std::string("\x28\0\0\0", 4),
                                                    std::string("\x04\0\0\0", 4), false},
                                         HeaderCase{48000, std::string("\x24\xEE\x02\0", 4),
                                                    std::string("\x00\xEE\x02\0", 4), false},
                                         HeaderCase{536870902, std::string("\xFC\xFF\xFF\x7F", 4),
                                                    std::string("\xD8\xFF\xFF\x7F", 4), false},
                                         HeaderCase{536870903, PH, PH, true},
                                         HeaderCase{4294967296LL, PH, PH, true},
                                         HeaderCase{4294967296LL + 1, PH, PH, true},
                                         HeaderCase{INT64_MAX, PH, PH, true}),
                         [](const testing::TestParamInfo<HeaderCase> &info) {
                             return "Count" + std::to_string(info.index);
                         });

TEST(WavHeader, EachCallStartsFromTheTemplate) {
    WavHeader header;
    fill_wav_header(&header, 48000);
    testing::internal::CaptureStderr();
    fill_wav_header(&header, 536870903);
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(std::string(reinterpret_cast<const char *>(header.bytes), WAV_HEADER_SIZE),
              PLACEHOLDER_TEMPLATE);

    fill_wav_header(&header, 48000);
    fill_wav_header(&header, 0);
    EXPECT_EQ(std::string(reinterpret_cast<const char *>(header.bytes), WAV_HEADER_SIZE),
              PLACEHOLDER_TEMPLATE);
}

// A finished file: exact sizes for 0 frames, the same as above otherwise.
TEST(WavHeader, FinalHeaderOfAnEmptyFileIsExact) {
    WavHeader header;
    fill_final_wav_header(&header, 0);
    std::string expected = PLACEHOLDER_TEMPLATE;
    expected.replace(4, 4, std::string("\x24\0\0\0", 4));
    expected.replace(40, 4, std::string(4, '\0'));
    EXPECT_EQ(std::string(reinterpret_cast<const char *>(header.bytes), WAV_HEADER_SIZE), expected);

    WavHeader plain;
    for (int64_t count : {int64_t{1}, int64_t{48000}, int64_t{536870902}, int64_t{536870903}}) {
        testing::internal::CaptureStderr();
        fill_final_wav_header(&header, count);
        // Its warnings are printed later, where the closing lines put them.
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << count;
        testing::internal::CaptureStderr();
        fill_wav_header(&plain, count);
        testing::internal::GetCapturedStderr();
        EXPECT_EQ(0, memcmp(header.bytes, plain.bytes, WAV_HEADER_SIZE)) << count;
    }
}

} // namespace
