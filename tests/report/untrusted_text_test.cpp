// Text from a stream or a server reaches the terminal only as characters that
// cannot steer it: a table of inputs and what is printed for them.
#include "../support/capture.h"
#include "report/stream_report.h"
#include "signals/interrupts.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <string>

namespace {

struct TextCase {
    const char *name;
    std::string in;
    std::string shown;
};

void PrintTo(const TextCase &c, std::ostream *os) {
    *os << c.name;
}

class UntrustedText : public testing::TestWithParam<TextCase> {};

TEST_P(UntrustedText, ShownSafely) {
    const TextCase &c = GetParam();
    EXPECT_EQ(capture_stream([&](FILE *f) { print_untrusted(f, c.in.c_str()); }), c.shown);
    std::string filtered(c.in.size() + 1, 'X');
    filter_untrusted(c.in.c_str(), &filtered[0]);
    EXPECT_EQ(filtered.c_str(), c.shown);
}

INSTANTIATE_TEST_SUITE_P(
    Table, UntrustedText,
    testing::Values(
        TextCase{"plain", "TITLE=Plain text 123", "TITLE=Plain text 123"},
        TextCase{"c0_and_del", "a\x1b[2J\x7f\rb\tc\n", "a?[2J??b?c?"},
        // Well-formed UTF-8 that does no harm prints unchanged.
        TextCase{"accents_cjk_emoji_nbsp",
                 "caf\xC3\xA9 \xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x8E\xB5 \xC2\xA0 \xF4\x8F\xBF\xBF",
                 "caf\xC3\xA9 \xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x8E\xB5 \xC2\xA0 \xF4\x8F\xBF\xBF"},
        // C1 controls, one '?' for the two bytes: U+0080, CSI U+009B, OSC U+009D, U+009F.
        TextCase{"c1_controls",
                 "a\xC2\x80"
                 "b\xC2\x9B"
                 "31mc\xC2\x9D"
                 "0;x\xC2\x9F",
                 "a?b?31mc?0;x?"},
        // Bidirectional controls and separators, one '?' for the three bytes;
        // their neighbours U+2027, U+202F, U+2065 and U+206A are ordinary.
        TextCase{"bidi_and_separators",
                 "\xE2\x80\xA8\xE2\x80\xA9\xE2\x80\xAA\xE2\x80\xAE\xE2\x81\xA6\xE2\x81\xA9",
                 "??????"},
        TextCase{"bidi_neighbours", "\xE2\x80\xA7\xE2\x80\xAF\xE2\x81\xA5\xE2\x81\xAA",
                 "\xE2\x80\xA7\xE2\x80\xAF\xE2\x81\xA5\xE2\x81\xAA"},
        // Bytes that start no well-formed sequence: one '?' each, and the
        // scan goes on at the next byte.
        TextCase{"stray_csi_byte",
                 "x\x9B"
                 "31my",
                 "x?31my"},
        TextCase{"overlong", "\xC0\xAF\xC1\xBF\xE0\x80\xAF\xF0\x80\x80\xAF", "???????????"},
        TextCase{"surrogate", "\xED\xA0\x80|\xED\x9F\xBF", "???|\xED\x9F\xBF"},
        TextCase{"above_u10ffff", "\xF4\x90\x80\x80\xF5\x80", "??????"},
        TextCase{"truncated_then_ascii",
                 "\xE2\x80"
                 "A\xF0\x9F\x8E"
                 "B",
                 "??A???B"},
        TextCase{"truncated_at_end", "ok\xE6\x97", "ok??"},
        TextCase{"lone_continuation", "\x80\xBF", "??"},
        TextCase{"three_bytes_cut_by_a_lead", "a\xE6\x97\xC3\xA9", "a??\xC3\xA9"},
        // Longer than the output buffer, in both orders of plain and replaced.
        TextCase{"long_controls_then_plain", std::string(5000, '\x01') + std::string(9000, 'a'),
                 std::string(5000, '?') + std::string(9000, 'a')},
        TextCase{"long_plain_then_controls", std::string(4000, 'b') + std::string(6000, '\x7f'),
                 std::string(4000, 'b') + std::string(6000, '?')},
        TextCase{"all_mixed",
                 "T=\x1b\xC2\x9B\xE2\x80\xAE\xFF\xC3\xA9\xE2\x80\xA8"
                 "end",
                 "T=????\xC3\xA9?end"}));

TEST(UntrustedTextLimit, StopsAtMaxBytesAndAtNul) {
    EXPECT_EQ(capture_stream([](FILE *f) { print_untrusted(f, "METADATA_BLOCK_PICTURE=3|x", 23); }),
              "METADATA_BLOCK_PICTURE=");
    // A sequence cut by the limit is not printed whole beyond it.
    EXPECT_EQ(capture_stream([](FILE *f) { print_untrusted(f, "ab\xC3\xA9", 3); }), "ab?");
}

// Once the run has been asked to stop, a long text on a stream is cut short
// (a standard error that nobody reads must not hold up the end of the run);
// a string is always filled whole. In a child process: the request to stop
// cannot be taken back.
TEST(UntrustedTextLimit, CutShortOnAStreamOnceAskedToStop) {
    EXPECT_EXIT(
        {
            catch_interrupts();
            raise(SIGINT);
            std::string controls(20000, '\x01');
            std::string plain(20000, 'a');
            std::string shown =
                capture_stream([&](FILE *f) { print_untrusted(f, controls.c_str()); });
            std::string shown_plain =
                capture_stream([&](FILE *f) { print_untrusted(f, plain.c_str()); });
            std::string filtered(controls.size() + 1, 'X');
            filter_untrusted(controls.c_str(), &filtered[0]);
            bool cut = shown.size() <= 4096 && shown == std::string(shown.size(), '?') &&
                       shown_plain.size() < plain.size();
            exit(cut && filtered.c_str() == std::string(20000, '?') ? 0 : 1);
        },
        testing::ExitedWithCode(0), "");
}

} // namespace
