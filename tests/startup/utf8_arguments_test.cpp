#include "driver/entry.h"
#include "startup/utf8_arguments.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

// Encodes units through buffers of exactly the documented sizes: the input
// holds the units and its terminating NUL, the output 3 * length + 1 bytes
// and one guard byte that must stay untouched.
std::string encode(const std::vector<uint16_t> &units) {
    size_t length = units.size();
    std::unique_ptr<uint16_t[]> in(new uint16_t[length + 1]);
    std::copy(units.begin(), units.end(), in.get());
    in[length] = 0;
    size_t capacity = 3 * length + 1;
    std::unique_ptr<char[]> out(new char[capacity + 1]);
    out[capacity] = '\x5A';
    encode_wide_argument(in.get(), length, out.get());
    EXPECT_EQ(out[capacity], '\x5A') << "wrote past 3 * length + 1 bytes";
    return std::string(out.get());
}

struct EncodeCase {
    const char *name;
    std::vector<uint16_t> units;
    std::string bytes;
};

TEST(EncodeWideArgument, Table) {
    const EncodeCase cases[] = {
        {"empty", {}, ""},
        {"ascii", {'a', '-', '/', 0x7F}, "a-/\x7F"},
        {"two-byte", {0x80, 0xE9, 0x7FF}, "\xC2\x80\xC3\xA9\xDF\xBF"},
        {"three-byte", {0x800, 0x65E5, 0xFFFF}, "\xE0\xA0\x80\xE6\x97\xA5\xEF\xBF\xBF"},
        {"surrogate pair", {0xD83D, 0xDE00}, "\xF0\x9F\x98\x80"},
        {"highest pair", {0xDBFF, 0xDFFF}, "\xF4\x8F\xBF\xBF"},
        {"lone high surrogate", {0xD800, 'x'}, "\xED\xA0\x80x"},
        {"lone low surrogate", {0xDC00}, "\xED\xB0\x80"},
        {"high surrogate last", {'a', 0xD800}, "a\xED\xA0\x80"},
        {"low before high", {0xDC00, 0xD800}, "\xED\xB0\x80\xED\xA0\x80"},
        {"high before a private use unit", {0xD800, 0xE000}, "\xED\xA0\x80\xEE\x80\x80"},
        {"worst case for the bound",
         {0xD800, 0xD800, 0xD800},
         "\xED\xA0\x80\xED\xA0\x80\xED\xA0\x80"},
    };
    for (const EncodeCase &c : cases) {
        EXPECT_EQ(encode(c.units), c.bytes) << c.name;
    }
}

// The whole way from the command line to a message: the argument reaches
// the open and the message as given, in UTF-8.
TEST(SetupUtf8Arguments, NameReachesTheMessageAsGiven) {
    char name[] = "opus2wav";
    char input[] = "/nonexistent/caf\xC3\xA9 \xE6\x97\xA5.opus";
    char *argv[] = {name, input, nullptr};
    testing::internal::CaptureStderr();
    int status = opus2wav_main(2, argv);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "Failed to open file '/nonexistent/caf\xC3\xA9 \xE6\x97\xA5.opus': -129\n");
    EXPECT_EQ(status, 1);
}

} // namespace
