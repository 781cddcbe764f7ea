#include "input/name_parts.h"

#include <cstring>

namespace {

bool is_letter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// True when the length characters of name spell scheme (lower case) in any case.
bool same_scheme(const char *name, size_t length, const char *scheme) {
    if (strlen(scheme) != length) {
        return false;
    }
    for (size_t i = 0; i < length; i++) {
        char c = name[i];
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
        if (c != scheme[i]) {
            return false;
        }
    }
    return true;
}

int hex_value(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
}

NameSpan span(size_t at, size_t length) {
    NameSpan piece;
    piece.at = at;
    piece.length = length;
    piece.present = true;
    return piece;
}

InputKind kind_of(const char *name, size_t scheme) {
    if (strcmp(name, "-") == 0) {
        return InputKind::STANDARD_INPUT;
    }
    if (scheme == 0) {
        return InputKind::PLAIN_PATH;
    }
    if (same_scheme(name, scheme, "http") || same_scheme(name, scheme, "https")) {
        return InputKind::NETWORK_URL;
    }
    return same_scheme(name, scheme, "file") ? InputKind::FILE_URL : InputKind::OTHER_SCHEME;
}

// True when text, up to the first '/', '?' or '#', is a port: digits that
// end there. Such a colon is the host's, not a password's. (An '@' follows
// text, so the digits never run to its end.)
bool looks_like_port(const char *text) {
    size_t digits = strspn(text, "0123456789");
    return digits > 0 && (text[digits] == '/' || text[digits] == '?' || text[digits] == '#');
}

// The userinfo of the authority that starts at from: user and password,
// and where the host begins. Without one the host begins at from.
size_t read_userinfo(const char *name, size_t from, NameParts *parts) {
    const char *userinfo = name + from;
    size_t authority = strcspn(userinfo, "/?#");
    const char *at = nullptr;
    for (size_t i = 0; i < authority; i++) {
        if (userinfo[i] == '@') {
            at = userinfo + i;
        }
    }
    bool plain = at != nullptr;
    if (!plain) {
        at = strrchr(userinfo, '@');
    }
    if (at == nullptr) {
        return from;
    }
    const char *colon = static_cast<const char *>(memchr(userinfo, ':', at - userinfo));
    bool password = colon != nullptr && colon + 1 != at;
    // Without an '@' in the authority, a colon of an IPv6 host ("[::1]") or
    // of a port is not a password's, and a user part with '/', '?' or '#'
    // is a path: the '@' is not a userinfo's.
    if (!plain &&
        (!password || userinfo[0] == '[' || authority < static_cast<size_t>(colon - userinfo) ||
         looks_like_port(colon + 1))) {
        return from;
    }
    size_t user_end = colon != nullptr ? static_cast<size_t>(colon - name) : at - name;
    parts->user = span(from, user_end - from);
    if (colon != nullptr) {
        parts->password = span(user_end + 1, static_cast<size_t>(at - colon - 1));
    }
    return static_cast<size_t>(at - name) + 1;
}

// The host and port of the authority that starts at from; returns its end.
size_t read_host(const char *name, size_t from, NameParts *parts) {
    size_t end = from + strcspn(name + from, "/?#");
    size_t host_end = end;
    if (name[from] == '[') {
        const char *close = static_cast<const char *>(memchr(name + from, ']', end - from));
        host_end = close != nullptr ? static_cast<size_t>(close - name) + 1 : end;
    } else {
        const char *colon = static_cast<const char *>(memchr(name + from, ':', end - from));
        host_end = colon != nullptr ? static_cast<size_t>(colon - name) : end;
    }
    parts->host = span(from, host_end - from);
    if (host_end < end && name[host_end] == ':') {
        parts->port = span(host_end + 1, end - host_end - 1);
    }
    return end;
}

} // namespace

size_t url_scheme_length(const char *name) {
    if (!is_letter(name[0])) {
        return 0;
    }
    size_t at = 1;
    while (is_letter(name[at]) || (name[at] >= '0' && name[at] <= '9') || name[at] == '+' ||
           name[at] == '-' || name[at] == '.') {
        at++;
    }
    return name[at] == ':' ? at : 0;
}

void parse_input_name(const char *name, NameParts *parts) {
    *parts = NameParts{};
    size_t scheme = url_scheme_length(name);
    parts->kind = kind_of(name, scheme);
    if (scheme == 0) {
        return;
    }
    parts->scheme = span(0, scheme);
    size_t rest = scheme + 1;
    if (name[rest] == '/' && name[rest + 1] == '/') {
        parts->has_authority = true;
        rest = read_host(name, read_userinfo(name, rest + 2, parts), parts);
    }
    parts->rest = rest;
    parts->path = span(rest, strcspn(name + rest, "?#"));
}

bool file_url_path(const char *name, const NameParts &parts, Escapes escapes, bool cut, char *out) {
    if (parts.kind != InputKind::FILE_URL) {
        return false;
    }
    if (parts.has_authority &&
        (parts.user.present || parts.port.present || name[parts.rest] != '/' ||
         (parts.host.length != 0 &&
          !same_scheme(name + parts.host.at, parts.host.length, "localhost")))) {
        return false;
    }
    size_t at = 0;
    for (const char *c = name + parts.rest; *c != '\0' && !(cut && (*c == '?' || *c == '#')); c++) {
        int high = escapes != Escapes::KEPT && c[0] == '%' ? hex_value(c[1]) : -1;
        int low = high >= 0 ? hex_value(c[2]) : -1;
        if (low < 0) {
            out[at++] = *c;
            continue;
        }
        out[at++] = static_cast<char>(high * 16 + low);
        if (escapes == Escapes::DECODED) {
            c += 2;
        }
    }
    out[at] = '\0';
    return at > 0;
}
