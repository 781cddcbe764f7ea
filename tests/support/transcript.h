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

// The closing lines after the summary, each where the run calls for it, in
// the order the program prints them: written once, here, for every test.
struct ClosingLines {
    bool length_warning = false; // the declared length was not met
    bool corrupt = false;        // and the output could not seek
    bool wav_limit = false;      // more than 2 GB behind a rewritten header
    std::string rewrite_error;   // the reason the rewrite failed; "" for none
    bool cut_short = false;      // the input did not end with a whole page
};
std::string closing_lines(const ClosingLines &lines);
ClosingLines length_warning_only();
ClosingLines cut_short_only();

struct TranscriptInput {
    std::string events;                       // output of "opus_facts events"
    std::map<std::string, std::string> facts; // output of "opus_facts facts"
    bool seekable = true;                     // totals and per-link sizes shown
    std::string input_name;                   // as given on the command line
    bool ssl = false;
    std::vector<LinkExpectation> links;
    ClosingLines closing;
};

// Everything from the totals block (for a seekable input) to the summary and
// the closing lines after it; the station block and the warnings before the
// first header are the caller's.
std::string compose_transcript(const TranscriptInput &in);

std::string duration_text(long long samples, bool millis);
std::string scaled_text(long long value, bool decimal, const char *separator);
