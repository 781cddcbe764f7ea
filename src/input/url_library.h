// libopusurl, with TLS behind it, is loaded only when a name can be a URL:
// a run on a plain file or on standard input never pays for it. Builds that
// link it (Windows, or OPUS2WAV_LINK_OPUSURL) use it directly.
#pragma once

#include <opusfile.h>

struct UrlLibrary {
    OggOpusFile *(*open_url)(const char *url, int *error, ...) = nullptr;
    void (*clear_server_info)(OpusServerInfo *info) = nullptr;
};

// The library's name as the loader looks it up.
extern const char *const URL_LIBRARY_NAME;

// Fills library and returns true; false when the library or one of its
// functions cannot be found, with *why saying what went wrong.
bool load_url_library(UrlLibrary *library, const char **why);
