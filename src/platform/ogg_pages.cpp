#include "platform/ogg_pages.h"

#include <cstring>

namespace {

constexpr int FIND_CAPTURE = 0;
constexpr int IN_HEADER = 1;
constexpr int IN_LACING = 2;
constexpr int IN_BODY = 3;
constexpr int HEADER_SIZE = 27;
const char CAPTURE[] = "OggS";

void page_ended(PageTracker *tracker) {
    tracker->phase = FIND_CAPTURE;
    tracker->got = 0;
    tracker->at_boundary = true;
}

// The checksum of a page: CRC-32 with polynomial 0x04c11db7, no reflection,
// starting from 0, over the page with its checksum field taken as zeros.
uint32_t page_checksum(const unsigned char *page, size_t length) {
    uint32_t crc = 0;
    for (size_t i = 0; i < length; i++) {
        unsigned char byte = i >= 22 && i < 26 ? 0 : page[i];
        crc ^= static_cast<uint32_t>(byte) << 24;
        for (int bit = 0; bit < 8; bit++) {
            crc = crc & 0x80000000u ? (crc << 1) ^ 0x04c11db7u : crc << 1;
        }
    }
    return crc;
}

} // namespace

void follow_pages(PageTracker *tracker, const unsigned char *bytes, size_t length) {
    size_t at = 0;
    while (at < length) {
        if (tracker->phase == IN_BODY) {
            size_t left = length - at;
            size_t take = static_cast<uint64_t>(tracker->body_left) < left
                              ? static_cast<size_t>(tracker->body_left)
                              : left;
            at += take;
            tracker->body_left -= static_cast<int64_t>(take);
            if (tracker->body_left == 0) {
                page_ended(tracker);
            }
            continue;
        }
        unsigned char c = bytes[at++];
        tracker->at_boundary = false;
        if (tracker->phase == FIND_CAPTURE) {
            if (c == static_cast<unsigned char>(CAPTURE[tracker->got])) {
                if (++tracker->got == 4) {
                    tracker->phase = IN_HEADER;
                }
            } else {
                tracker->got = c == 'O' ? 1 : 0;
            }
        } else if (tracker->phase == IN_HEADER) {
            if (tracker->got == 4 && c != 0) {
                // Not version 0: no page starts here after all.
                tracker->phase = FIND_CAPTURE;
                tracker->got = c == 'O' ? 1 : 0;
                continue;
            }
            if (tracker->got == HEADER_SIZE - 1) {
                tracker->lacing_left = c;
                tracker->body_left = 0;
            }
            if (++tracker->got == HEADER_SIZE) {
                tracker->phase = tracker->lacing_left > 0 ? IN_LACING : FIND_CAPTURE;
                if (tracker->lacing_left == 0) {
                    page_ended(tracker);
                }
            }
        } else {
            tracker->body_left += c;
            if (--tracker->lacing_left == 0) {
                tracker->phase = IN_BODY;
                if (tracker->body_left == 0) {
                    page_ended(tracker);
                }
            }
        }
    }
}

bool ends_with_whole_page(const unsigned char *tail, size_t length) {
    // Every place where a page could start and still end within the tail.
    for (size_t start = 0; start + HEADER_SIZE <= length; start++) {
        const void *next = memchr(tail + start, 'O', length - HEADER_SIZE + 1 - start);
        if (next == nullptr) {
            return false;
        }
        start = static_cast<size_t>(static_cast<const unsigned char *>(next) - tail);
        const unsigned char *page = tail + start;
        if (page[1] != 'g' || page[2] != 'g' || page[3] != 'S' || page[4] != 0) {
            continue;
        }
        size_t segments = page[26];
        size_t size = HEADER_SIZE + segments;
        if (start + size > length) {
            continue;
        }
        for (size_t i = 0; i < segments; i++) {
            size += page[HEADER_SIZE + i];
        }
        if (start + size != length) {
            continue;
        }
        uint32_t stored = static_cast<uint32_t>(page[22]) | static_cast<uint32_t>(page[23]) << 8 |
                          static_cast<uint32_t>(page[24]) << 16 |
                          static_cast<uint32_t>(page[25]) << 24;
        if (page_checksum(page, size) == stored) {
            return true;
        }
    }
    return false;
}
