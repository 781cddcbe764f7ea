#include "input/url_library.h"

const char *const URL_LIBRARY_NAME = "libopusurl.so.0";

#if defined(OPUS2WAV_LINK_OPUSURL) || defined(_WIN32)

bool load_url_library(UrlLibrary *library, const char **) {
    library->open_url = op_open_url;
    library->clear_server_info = opus_server_info_clear;
    return true;
}

#else

#include <dlfcn.h>

// Tells packaging tools which library is loaded at run time, in the format of
// systemd's .note.dlopen: an ELF note of type 0x407c0c0a, owner "FDO",
// holding JSON.
namespace {

#define O2W_DLOPEN_JSON                                                                            \
    "[{\"feature\":\"url\",\"description\":\"Decoding http and https URLs\","                      \
    "\"priority\":\"recommended\",\"soname\":[\"libopusurl.so.0\"]}]"

struct DlopenNote {
    unsigned name_size;
    unsigned description_size;
    unsigned type;
    char name[4];
    char description[(sizeof O2W_DLOPEN_JSON + 3) / 4 * 4];
};

__attribute__((used, section(".note.dlopen"), aligned(4)))
const DlopenNote DLOPEN_NOTE = {4, sizeof O2W_DLOPEN_JSON, 0x407c0c0a, "FDO", O2W_DLOPEN_JSON};

} // namespace

bool load_url_library(UrlLibrary *library, const char **why) {
    static void *handle = nullptr;
    if (handle == nullptr) {
        handle = dlopen(URL_LIBRARY_NAME, RTLD_NOW | RTLD_LOCAL);
        if (handle == nullptr) {
            const char *error = dlerror();
            *why = error != nullptr ? error : "unknown error";
            return false;
        }
    }
    void *open_url = dlsym(handle, "op_open_url");
    void *clear = dlsym(handle, "opus_server_info_clear");
    if (open_url == nullptr || clear == nullptr) {
        *why = "a function of the URL library is missing";
        return false;
    }
    library->open_url = reinterpret_cast<decltype(library->open_url)>(open_url);
    library->clear_server_info = reinterpret_cast<decltype(library->clear_server_info)>(clear);
    return true;
}

#endif
