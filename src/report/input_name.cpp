#include "report/input_name.h"

#include "input/url_scheme.h"
#include "report/untrusted_text.h"

#include <cstdlib>
#include <cstring>

namespace {

// True when text, up to the first '/', '?' or '#', is a port: digits that
// end there. Such a colon is the host's, not a password's. (An '@' follows
// text, so the digits never run to its end.)
bool looks_like_port(const char *text) {
    size_t digits = strspn(text, "0123456789");
    return digits > 0 && (text[digits] == '/' || text[digits] == '?' || text[digits] == '#');
}

} // namespace

void mask_url_password(const char *name, char *out) {
    size_t length = strlen(name);
    memcpy(out, name, length + 1);
    size_t scheme = url_scheme_length(name);
    if (scheme == 0 || strncmp(name + scheme, "://", 3) != 0) {
        return;
    }
    const char *userinfo = name + scheme + 3;
    size_t authority = strcspn(userinfo, "/?#");
    const char *at = nullptr;
    for (size_t i = 0; i < authority; i++) {
        if (userinfo[i] == '@') {
            at = userinfo + i;
        }
    }
    // A password with '/', '?' or '#' in it ends the authority early: what a
    // user plainly meant as user:password@ is then the user, a colon and
    // anything up to the name's last '@'.
    bool plain = at != nullptr;
    if (!plain) {
        at = strrchr(userinfo, '@');
    }
    if (at == nullptr) {
        return;
    }
    const char *colon = static_cast<const char *>(memchr(userinfo, ':', at - userinfo));
    if (colon == nullptr || colon + 1 == at) {
        return;
    }
    // Without an '@' in the authority, a colon of an IPv6 host ("[::1]") or
    // of a port is not a password's.
    if (!plain &&
        (userinfo[0] == '[' || strcspn(userinfo, "/?#") < static_cast<size_t>(colon - userinfo) ||
         looks_like_port(colon + 1))) {
        return;
    }
    size_t keep = static_cast<size_t>(colon + 1 - name);
    memcpy(out + keep, "***", 3);
    memcpy(out + keep + 3, at, length - static_cast<size_t>(at - name) + 1);
}

char *shown_input_name(const char *name) {
    size_t size = strlen(name) + 3;
    char *masked = static_cast<char *>(malloc(size));
    char *shown = static_cast<char *>(malloc(size));
    if (masked == nullptr || shown == nullptr) {
        free(masked);
        free(shown);
        return nullptr;
    }
    mask_url_password(name, masked);
    filter_untrusted(masked, shown);
    free(masked);
    return shown;
}
