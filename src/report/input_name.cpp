#include "report/input_name.h"

#include "report/untrusted_text.h"

#include <cstdlib>
#include <cstring>

void mask_url_password(const char *name, const NameParts &parts, char *out) {
    size_t length = strlen(name);
    memcpy(out, name, length + 1);
    if (parts.password.length == 0) {
        return;
    }
    size_t keep = parts.password.at;
    size_t after = parts.password.at + parts.password.length;
    memcpy(out + keep, "***", 3);
    memcpy(out + keep + 3, name + after, length - after + 1);
}

char *shown_input_name(const char *name, const NameParts &parts) {
    size_t size = strlen(name) + 3;
    char *masked = static_cast<char *>(malloc(size));
    char *shown = static_cast<char *>(malloc(size));
    if (masked == nullptr || shown == nullptr) {
        free(masked);
        free(shown);
        return nullptr;
    }
    mask_url_password(name, parts, masked);
    filter_untrusted(masked, shown);
    free(masked);
    return shown;
}
