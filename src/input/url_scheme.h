// What kind of input a name is: standard input, a URL by its scheme
// (RFC 3986), or a local path. Decided once, before anything is opened.
#pragma once

#include <cstddef>

enum class InputKind {
    STANDARD_INPUT, // exactly "-"
    NETWORK_URL,    // http: or https:, the scheme in any case
    FILE_URL,       // file:, in any case
    OTHER_SCHEME,   // any other scheme: the URL library may know it, else a path
    PLAIN_PATH,     // no scheme: a local file
};

// The length of the scheme that name starts with (a letter, then letters,
// digits, '+', '-' or '.', followed by ':'), 0 when it starts with none.
size_t url_scheme_length(const char *name);

InputKind input_kind(const char *name);

// How a file: URL's percent-escapes are read: kept as written, decoded, or
// decoded with the two digits kept after the byte, as libopusurl reads them
// ("a%20b" opens "a 20b").
enum class Escapes { KEPT, DECODED, DECODED_AND_KEPT };

// The local file that a file: URL names: the path after "file:", or after
// "file://" with an empty host or "localhost", its escapes read as asked,
// cut at a '?' or '#' when cut is set (the forms a reader of the URL may
// take it in). False for another scheme or another host. out takes
// 3 * strlen(name) + 1 bytes.
bool file_url_path(const char *name, Escapes escapes, bool cut, char *out);
