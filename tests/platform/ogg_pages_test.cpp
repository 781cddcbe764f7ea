// Where Ogg pages end, on byte strings built here: pages with their own
// checksum (computed independently below), cut, padded or garbled.
#include "platform/ogg_pages.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace {

uint32_t reference_crc(const std::string &page) {
    uint32_t crc = 0;
    for (unsigned char byte : page) {
        crc ^= static_cast<uint32_t>(byte) << 24;
        for (int bit = 0; bit < 8; bit++) {
            crc = (crc & 0x80000000u) ? (crc << 1) ^ 0x04c11db7u : crc << 1;
        }
    }
    return crc;
}

// A page of version 0 with the given lacing values and a body of their sum.
std::string page(const std::string &lacing, char version = 0) {
    std::string header("OggS", 4);
    header += version;
    header += std::string(21, '\x01');
    header += static_cast<char>(lacing.size());
    size_t body = 0;
    for (unsigned char value : lacing) {
        body += value;
    }
    std::string whole = header + lacing + std::string(body, 'b');
    whole.replace(22, 4, std::string(4, '\0'));
    uint32_t crc = reference_crc(whole);
    for (int i = 0; i < 4; i++) {
        whole[22 + i] = static_cast<char>((crc >> (8 * i)) & 0xFF);
    }
    return whole;
}

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
