// Opening the one input the command line names: standard input, an http or
// https URL, a file: URL, another scheme-like name or a plain path.
#pragma once

#include "input/descriptor_input.h"
#include "input/name_parts.h"

#include <opusfile.h>

// The decoder points into this record (the descriptor stream below), so it
// is never copied or moved; the entry frees the decoder before it goes.
struct OpenedInput {
    OpenedInput() = default;
    OpenedInput(const OpenedInput &) = delete;
    OpenedInput &operator=(const OpenedInput &) = delete;

    OggOpusFile *decoder = nullptr;
    int source_is_ssl = 0; // the station facts' is_ssl; 0 for anything but a URL
    int error = 0;         // the last open call's code when there is no decoder
    // The stream the library reads for standard input and local files; it
    // must stay where it is until the decoder is freed.
    DescriptorInput descriptor;
};

// Opens name and prints the station facts of a URL. Without a decoder the
// failure has been reported on standard error ("Failed to open file ...")
// and false is returned. shown_name is the name as messages show it.
bool open_input(const char *name, const NameParts &parts, const char *shown_name,
                OpenedInput *opened);
