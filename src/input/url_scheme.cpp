#include "input/url_scheme.h"

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

InputKind input_kind(const char *name) {
    if (strcmp(name, "-") == 0) {
        return InputKind::STANDARD_INPUT;
    }
    size_t length = url_scheme_length(name);
    if (length == 0) {
        return InputKind::PLAIN_PATH;
    }
    if (same_scheme(name, length, "http") || same_scheme(name, length, "https")) {
        return InputKind::NETWORK_URL;
    }
    return same_scheme(name, length, "file") ? InputKind::FILE_URL : InputKind::OTHER_SCHEME;
}

bool file_url_path(const char *name, Escapes escapes, bool cut, char *out) {
    if (input_kind(name) != InputKind::FILE_URL) {
        return false;
    }
    const char *path = name + 5;
    if (path[0] == '/' && path[1] == '/') {
        const char *host = path + 2;
        size_t length = strcspn(host, "/");
        if (host[length] != '/' || (length != 0 && !same_scheme(host, length, "localhost"))) {
            return false;
        }
        path = host + length;
    }
    size_t at = 0;
    for (const char *c = path; *c != '\0' && !(cut && (*c == '?' || *c == '#')); c++) {
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
