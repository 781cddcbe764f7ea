// Where Ogg pages end, for telling an input that was cut short (a broken
// download, a truncated copy, padding after the last page) from a whole one.
// Only the page structure is read: the capture pattern "OggS", the version,
// the lacing values; the streams inside do not matter.
#pragma once

#include <cstddef>
#include <cstdint>

// The largest page: a 27-byte header, 255 lacing values, 255 * 255 bytes.
constexpr int OGG_MAX_PAGE_SIZE = 27 + 255 + 255 * 255;

// How much of an input's end is looked at: more than the largest page, so
// that any page that ends at the end lies in it whole.
constexpr int OGG_TAIL_SIZE = 65536;
static_assert(OGG_TAIL_SIZE >= OGG_MAX_PAGE_SIZE, "a whole page fits in the tail");

// The last OGG_TAIL_SIZE bytes of an input read in order from its start,
// kept as they pass by an input that cannot seek, so that its end is judged
// exactly as a file's tail is: the same bytes, the same verdict.
struct PageTail {
    unsigned char *ring = nullptr; // OGG_TAIL_SIZE bytes: input byte i at i % OGG_TAIL_SIZE
    int64_t seen = 0;              // bytes kept in all
};

void keep_tail(PageTail *tail, const unsigned char *bytes, size_t length);

// ends_with_whole_page for what tail kept; scratch takes OGG_TAIL_SIZE bytes.
bool kept_tail_ends_with_whole_page(const PageTail *tail, unsigned char *scratch);

// True when the last length bytes of an input (all of it, or its last
// OGG_TAIL_SIZE bytes) end with a complete page whose checksum is right.
bool ends_with_whole_page(const unsigned char *tail, size_t length);
