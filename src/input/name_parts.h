// The input name read once, before anything is opened: standard input, a
// URL by its scheme (RFC 3986), or a local path, and for a URL its parts.
// Opening, the name shown in messages and the refusal to write over the
// input all read this one record.
#pragma once

#include <cstddef>

enum class InputKind {
    STANDARD_INPUT, // exactly "-"
    NETWORK_URL,    // http: or https:, the scheme in any case
    FILE_URL,       // file:, in any case
    OTHER_SCHEME,   // any other scheme: the URL library may know it, else a path
    PLAIN_PATH,     // no scheme: a local file
};

// A piece of the name: length bytes from offset at. Absent when length is 0
// and present is false.
struct NameSpan {
    size_t at = 0;
    size_t length = 0;
    bool present = false;
};

struct NameParts {
    InputKind kind = InputKind::PLAIN_PATH;
    NameSpan scheme; // before the first ':'
    // After "//": the authority, which ends at the first '/', '?' or '#'
    // after the userinfo. A userinfo ends at the last '@' of the authority;
    // when the authority holds none but the name does, a user part free of
    // '/', '?' and '#', a colon not followed by a port, and everything up
    // to the name's last '@' are taken for user:password@ all the same (a
    // password with '/', '?' or '#' in it: "http://u:p#w@h").
    bool has_authority = false;
    NameSpan user;
    NameSpan password; // after the userinfo's first ':', up to its '@'
    NameSpan host;     // an IPv6 host with its brackets
    NameSpan port;
    NameSpan path; // after the authority (or the scheme), up to '?' or '#'
    // Where the path and what follows it begin: the rest of the name.
    size_t rest = 0;
};

// The length of the scheme that name starts with (a letter, then letters,
// digits, '+', '-' or '.', followed by ':'), 0 when it starts with none.
size_t url_scheme_length(const char *name);

void parse_input_name(const char *name, NameParts *parts);

// How a file: URL's percent-escapes are read: kept as written, decoded, or
// decoded with the two digits kept after the byte, as libopusurl reads them
// ("a%20b" opens "a 20b").
enum class Escapes { KEPT, DECODED, DECODED_AND_KEPT };

// The local file that a file: URL names: the path after "file:", or after
// "file://" with an empty host or "localhost" (no userinfo, no port), its
// escapes read as asked, cut at a '?' or '#' when cut is set (the forms a
// reader of the URL may take it in). False for another scheme or another
// host. out takes 3 * strlen(name) + 1 bytes.
bool file_url_path(const char *name, const NameParts &parts, Escapes escapes, bool cut, char *out);
