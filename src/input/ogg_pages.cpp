#include "input/ogg_pages.h"

#include <cstring>

namespace {

constexpr int HEADER_SIZE = 27;

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

void keep_tail(PageTail *tail, const unsigned char *bytes, size_t length) {
    if (length > static_cast<size_t>(OGG_TAIL_SIZE)) {
        tail->seen += static_cast<int64_t>(length - OGG_TAIL_SIZE);
        bytes += length - OGG_TAIL_SIZE;
        length = OGG_TAIL_SIZE;
    }
    size_t at = static_cast<size_t>(tail->seen % OGG_TAIL_SIZE);
    size_t first = length < OGG_TAIL_SIZE - at ? length : OGG_TAIL_SIZE - at;
    memcpy(tail->ring + at, bytes, first);
    memcpy(tail->ring, bytes + first, length - first);
    tail->seen += static_cast<int64_t>(length);
}

bool kept_tail_ends_with_whole_page(const PageTail *tail, unsigned char *scratch) {
    if (tail->seen <= OGG_TAIL_SIZE) {
        return ends_with_whole_page(tail->ring, static_cast<size_t>(tail->seen));
    }
    size_t oldest = static_cast<size_t>(tail->seen % OGG_TAIL_SIZE);
    memcpy(scratch, tail->ring + oldest, OGG_TAIL_SIZE - oldest);
    memcpy(scratch + (OGG_TAIL_SIZE - oldest), tail->ring, oldest);
    return ends_with_whole_page(scratch, OGG_TAIL_SIZE);
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
