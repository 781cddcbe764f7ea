#include "report/number_format.h"

#include "../support/capture.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

std::string scaled(int64_t value, int decimal, const char *separator) {
    return capture_stream([&](FILE *s) { show_scaled(s, value, decimal, separator); });
}

std::string duration(int64_t samples, int show_millis) {
    return capture_stream([&](FILE *s) { show_duration(s, samples, show_millis); });
}

struct ScaledCase {
    int64_t value;
    const char *text;
};

TEST(ShowScaled, SizesInStepsOf1024) {
    const ScaledCase cases[] = {
        {0, "0 "},
        {999, "999 "},
        {1023, "1023 "},
        {1024, "1.00k"},
        {1536, "1.50k"},
        {10239, "10.0k"},
        {10240, "10.0k"},
        {10291, "10.0k"},
        {10292, "10.1k"},
        {101887, "99.5k"},
        {101888, "100k"},
        {102400, "100k"},
        {1048063, "1023k"},
        {1048064, "1.00M"},
        {1048575, "1.00M"},
        {1048576, "1.00M"},
        {1610612736, "1.50G"},
        {5000000000, "4.66G"},
        {INT64_MAX, "8.00E"},
    };
    for (const ScaledCase &c : cases) {
        EXPECT_EQ(scaled(c.value, 0, ""), c.text) << c.value;
    }
}

TEST(ShowScaled, BitratesInStepsOf1000) {
    const ScaledCase cases[] = {
        {0, "0  "},         {500, "500  "},        {999, "999  "},
        {1000, "1.00 k"},   {1499, "1.50 k"},      {6000, "6.00 k"},
        {9499, "9.50 k"},   {9500, "9.5 k"},       {9949, "9.9 k"},
        {9950, "10.0 k"},   {64000, "64.0 k"},     {96000, "96.0 k"},
        {99949, "100 k"},   {128500, "129 k"},     {999499, "999 k"},
        {999500, "1.00 M"}, {INT64_MAX, "9.22 E"},
    };
    for (const ScaledCase &c : cases) {
        EXPECT_EQ(scaled(c.value, 1, " "), c.text) << c.value;
    }
}

TEST(ShowScaled, NegativeValuesShowAsZero) {
    EXPECT_EQ(scaled(-1, 0, ""), "0 ");
    EXPECT_EQ(scaled(-48, 1, " "), "0  ");
    EXPECT_EQ(scaled(INT64_MIN, 0, ""), "0 ");
}

struct DurationCase {
    int64_t samples;
    const char *with_millis;
    const char *whole_seconds;
};

TEST(ShowDuration, BothForms) {
    const DurationCase cases[] = {
        {0, "0.000s", "0s"},
        {23, "0.000s", "0s"},
        {24, "0.001s", "0s"},
        {23999, "0.500s", "0s"},
        {24000, "0.500s", "1s"},
        {47999, "1.000s", "1s"},
        {48000, "1.000s", "1s"},
        {2855999, "59.500s", "59s"},
        {2856000, "59.500s", "1m00s"},
        {2879975, "59.999s", "1m00s"},
        {2879976, "1m00.000s", "1m00s"},
        {172799975, "59m59.999s", "1h00m00s"},
        {172800000, "1h00m00.000s", "1h00m00s"},
        {172848000, "1h00m01.000s", "1h00m01s"},
        {4147199975, "23h59m59.999s", "1d00h00m00s"},
        {4147200000, "1d00h00m00.000s", "1d00h00m00s"},
        {29030399975, "6d23h59m59.999s", "1w0d00h00m00s"},
        {29030400000, "1w0d00h00m00.000s", "1w0d00h00m00s"},
        {29203200000, "1w0d01h00m00.000s", "1w0d01h00m00s"},
        {71386992480, "2w3d05h07m09.010s", "2w3d05h07m09s"},
        {INT64_MAX, "317714259w2d23h39m01.163s", "317714259w2d23h39m01s"},
    };
    for (const DurationCase &c : cases) {
        EXPECT_EQ(duration(c.samples, 1), c.with_millis) << c.samples;
        EXPECT_EQ(duration(c.samples, 0), c.whole_seconds) << c.samples;
    }
}

TEST(ShowDuration, NegativeCountsShowAsZero) {
    EXPECT_EQ(duration(-48, 0), "0s");
    EXPECT_EQ(duration(-48, 1), "0.000s");
    EXPECT_EQ(duration(INT64_MIN, 1), "0.000s");
}

} // namespace
