// Composes the standard-error text that the program should print, from what
// libopusfile itself reports about an input and the documented formats.
#pragma once

#include <map>
#include <string>
#include <vector>

struct LinkExpectation {
    std::vector<std::string> comment_lines; // each without its leading blanks or newline
    int suffix_bytes = -1;                  // -1: no binary suffix
};

struct TranscriptInput {
    std::string events;                       // output of "opus_facts events"
    std::map<std::string, std::string> facts; // output of "opus_facts facts"
    bool seekable = true;                     // totals and per-link sizes shown
    std::string input_name;                   // as given on the command line
    bool ssl = false;
    std::vector<LinkExpectation> links;
};

// Everything from the totals block (for a seekable input) to the summary;
// the station block and the warnings around it are the caller's.
std::string compose_transcript(const TranscriptInput &in);

std::string duration_text(long long samples, bool millis);
std::string scaled_text(long long value, bool decimal, const char *separator);
