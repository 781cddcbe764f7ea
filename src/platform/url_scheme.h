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

// The local file that a file: URL names: the path after "file:", or after
// "file://" with an empty host or "localhost", with its percent-escapes
// decoded when decode is set and cut at a '?' or '#' when cut is set (the
// forms a reader of the URL may take it in). False for another scheme or
// another host. out takes strlen(name) + 1 bytes.
bool file_url_path(const char *name, bool decode, bool cut, char *out);
