#include "report/input_name.h"

#include "platform/url_scheme.h"
#include "report/untrusted_text.h"

#include <cstdlib>
#include <cstring>

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
    if (at == nullptr) {
        return;
    }
    const char *colon = static_cast<const char *>(memchr(userinfo, ':', at - userinfo));
    if (colon == nullptr || colon + 1 == at) {
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
