// Where Ogg pages end, on byte strings built here: pages with their own
// checksum (computed independently below), cut, padded or garbled.
#include "input/ogg_pages.h"
#include "test_pages.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

TEST(OggPages, KeptTailAndFileTailAgree) {
    std::string two = page("\xff\x10") + page(std::string(1, '\x05'));
    std::string last = page(std::string(1, '\x05'));
    std::string bad_sum = two + last;
    bad_sum.back() ^= 1;
    std::string zeroed_body = two;
    zeroed_body.back() = '\0';
    // More than the tail holds, ending with a whole page or with zeros.
    std::string many;
    while (many.size() < 3 * OGG_TAIL_SIZE) {
        many += page(std::string(40, '\xff') + '\x10');
    }
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
        {"the last bytes zeroed", two.substr(0, two.size() - 3) + std::string(3, '\0'), false},
        {"the last page's body zeroed", zeroed_body, false},
        {"a page with a wrong checksum after", bad_sum, false},
        {"garbage that starts a capture", two + "OggS", false},
        {"a capture of another version, then a page", "OggS\x01" + page("\x03"), true},
        {"garbage with O's between pages", page("\x02") + "OOgOg" + page("\x02"), true},
        {"a capture whose version byte starts a page", "OggS" + page("\x03"), true},
        {"an almost capture between pages", page("\x02") + "OggT" + page("\x02"), true},
        {"more than the tail", many, true},
        {"more than the tail, then zeros", many + std::string(3, '\0'), false},
        {"a page without segments after an O", "O" + page(""), true},
        {"a page without segments after a page and an O", page("\x02") + "O" + page(""), true},
        {"a last page of another version", page("\x02") + page("\x03", 1), false},
    };
    static unsigned char ring[OGG_TAIL_SIZE], scratch[OGG_TAIL_SIZE];
    for (const auto &row : rows) {
        const auto *bytes = reinterpret_cast<const unsigned char *>(row.bytes.data());
        size_t size = row.bytes.size();
        size_t file_tail = size < OGG_TAIL_SIZE ? size : OGG_TAIL_SIZE;
        EXPECT_EQ(ends_with_whole_page(bytes + size - file_tail, file_tail), row.whole) << row.name;
        // In pieces of several sizes, one larger than the tail, so that the
        // ring wraps inside a read and is overrun by one.
        for (size_t piece : {size_t{1000}, size_t{4093}, size_t{OGG_TAIL_SIZE + 7}}) {
            PageTail tail;
            tail.ring = ring;
            for (size_t at = 0; at < size; at += piece) {
                keep_tail(&tail, bytes + at, size - at < piece ? size - at : piece);
            }
            EXPECT_EQ(kept_tail_ends_with_whole_page(&tail, scratch), row.whole)
                << row.name << ", pieces of " << piece;
        }
    }
}

// Every cut of a stream of pages, as a file's tail and as the tail kept from
// a pipe in pieces of several sizes: whole exactly where a page ends, and
// never with three zero bytes after the cut.
TEST(OggPages, EveryCutJudgedRightByBothJudges) {
    std::string stream;
    std::vector<size_t> page_ends;
    for (int round = 0; round < 4; round++) {
        for (const std::string &lacing :
             {std::string("\x10"), std::string("\xff\x05"), std::string(), std::string(1, '\0'),
              std::string("\xff\xff\x30"), std::string(7, '\x04')}) {
            stream += page(lacing);
            page_ends.push_back(stream.size());
        }
    }
    static unsigned char ring[OGG_TAIL_SIZE], scratch[OGG_TAIL_SIZE];
    int wrong = 0;
    for (size_t cut = 0; cut <= stream.size(); cut++) {
        bool at_page_end = std::find(page_ends.begin(), page_ends.end(), cut) != page_ends.end();
        for (bool zeros : {false, true}) {
            std::string bytes = stream.substr(0, cut) + (zeros ? std::string(3, '\0') : "");
            bool whole = at_page_end && !zeros;
            const auto *data = reinterpret_cast<const unsigned char *>(bytes.data());
            bool verdicts[3] = {ends_with_whole_page(data, bytes.size())};
            int judge = 1;
            for (size_t piece : {size_t{13}, size_t{1000}}) {
                PageTail tail;
                tail.ring = ring;
                for (size_t at = 0; at < bytes.size(); at += piece) {
                    keep_tail(&tail, data + at, std::min(piece, bytes.size() - at));
                }
                verdicts[judge++] = kept_tail_ends_with_whole_page(&tail, scratch);
            }
            for (bool verdict : verdicts) {
                wrong += verdict != whole;
                EXPECT_EQ(verdict, whole) << "cut at " << cut << (zeros ? ", then zeros" : "");
            }
        }
        if (wrong > 5) {
            break; // a few positions say enough
        }
    }
    EXPECT_GT(stream.size(), 3000u);
}

} // namespace
