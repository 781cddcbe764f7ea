// Where Ogg pages end, on byte strings built here: pages with their own
// checksum (computed independently below), cut, padded or garbled.
#include "platform/ogg_pages.h"
#include "test_pages.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(OggPages, FollowedAndTailAgree) {
    std::string two = page("\xff\x10") + page(std::string(1, '\x05'));
    const struct {
        const char *name;
        std::string bytes;
        bool whole;
    } rows[] = {
        {"two whole pages", two, true},
        {"a page without segments", page("") + page(""), true},
        {"segments of zero bytes", page(std::string("\0\0", 2)), true},
        {"cut inside the body", two.substr(0, two.size() - 1), false},
        {"cut inside the lacing", two.substr(0, 28), false},
        {"cut inside the header", two.substr(0, 10), false},
        {"zero padding", two + std::string(100, '\0'), false},
        {"garbage that starts a capture", two + "OggS", false},
        {"a capture of another version, then a page", "OggS\x01" + page("\x03"), true},
        {"garbage with O's between pages", page("\x02") + "OOgOg" + page("\x02"), true},
        {"a capture whose version byte starts a page", "OggS" + page("\x03"), true},
        {"an almost capture between pages", page("\x02") + "OggT" + page("\x02"), true},
    };
    for (const auto &row : rows) {
        PageTracker tracker;
        // In two pieces, so that a boundary inside a read is followed too.
        size_t half = row.bytes.size() / 2;
        follow_pages(&tracker, reinterpret_cast<const unsigned char *>(row.bytes.data()), half);
        follow_pages(&tracker, reinterpret_cast<const unsigned char *>(row.bytes.data()) + half,
                     row.bytes.size() - half);
        EXPECT_EQ(tracker.at_boundary, row.whole) << row.name;
        EXPECT_EQ(ends_with_whole_page(reinterpret_cast<const unsigned char *>(row.bytes.data()),
                                       row.bytes.size()),
                  row.whole)
            << row.name;
    }
    // A page whose checksum is wrong is no page for the tail.
    std::string bad = two;
    bad.back() ^= 1;
    EXPECT_FALSE(
        ends_with_whole_page(reinterpret_cast<const unsigned char *>(bad.data()), bad.size()));
}

} // namespace
