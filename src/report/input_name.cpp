#include "report/input_name.h"

#include "report/untrusted_text.h"

#include <cstring>

namespace {

bool is_letter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

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

bool url_scheme_is(const char *name, const char *scheme) {
    return same_scheme(name, url_scheme_length(name), scheme);
}

bool is_network_url(const char *name) {
    return url_scheme_is(name, "http") || url_scheme_is(name, "https");
}

std::string mask_url_password(const char *name) {
    std::string text = name;
    size_t scheme = url_scheme_length(name);
    if (scheme == 0 || text.compare(scheme, 3, "://") != 0) {
        return text;
    }
    size_t userinfo = scheme + 3;
    size_t authority_end = text.find_first_of("/?#", userinfo);
    if (authority_end == std::string::npos) {
        authority_end = text.size();
    }
    size_t at = text.rfind('@', authority_end == 0 ? 0 : authority_end - 1);
    if (at == std::string::npos || at < userinfo) {
        return text;
    }
    size_t colon = text.find(':', userinfo);
    if (colon == std::string::npos || colon >= at || colon + 1 == at) {
        return text;
    }
    return text.replace(colon + 1, at - colon - 1, "***");
}

std::string shown_input_name(const char *name) {
    return filter_untrusted(mask_url_password(name).c_str());
}
