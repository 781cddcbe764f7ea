// Where Ogg pages end, for telling an input that was cut short (a broken
// download, a truncated copy, padding after the last page) from a whole one.
// Only the page structure is read: the capture pattern "OggS", the version,
// the lacing values; the streams inside do not matter.
#pragma once

#include <cstddef>
#include <cstdint>

// The largest page: a 27-byte header, 255 lacing values, 255 * 255 bytes.
constexpr int OGG_MAX_PAGE_SIZE = 27 + 255 + 255 * 255;

// Follows the page boundaries of bytes read in order from the start, as they
// pass. Bytes that start no page are skipped up to the next "OggS".
struct PageTracker {
    int phase = 0;           // finding "OggS", in the header, its lacing, its body
    int got = 0;             // bytes of the capture pattern or header seen
    int lacing_left = 0;     // lacing values still to come
    int64_t body_left = 0;   // body bytes still to come
    bool at_boundary = true; // the last byte seen ended a page
};

void follow_pages(PageTracker *tracker, const unsigned char *bytes, size_t length);

// True when the last length bytes of an input (all of it, or at least its
// last OGG_MAX_PAGE_SIZE bytes) end with a complete page whose checksum is
// right.
bool ends_with_whole_page(const unsigned char *tail, size_t length);
