#include "platform/url_scheme.h"

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
