#include "transcript.h"
#include "run.h"

#include <cstdio>
#include <cstdlib>
#include <sstream>

namespace {

std::string fact(const TranscriptInput &in, const std::string &key) {
    auto it = in.facts.find(key);
    return it == in.facts.end() ? "?" + key : it->second;
}

long long fact_number(const TranscriptInput &in, const std::string &key) {
    return std::atoll(fact(in, key).c_str());
}

std::string link_block(const TranscriptInput &in, int link) {
    std::string k = "link" + std::to_string(link) + ".";
    std::string text = "Decoding link " + std::to_string(link) + ":" + std::string(26, ' ') + "\n";
    text += "  Channels: " + fact(in, k + "channels") + "\n";
    if (in.seekable) {
        long long total = fact_number(in, k + "pcm_total");
        text += "  Duration: " + duration_text(total, true) + " (" + std::to_string(total) +
                " samples @ 48 kHz)\n";
        text += "  Size: " + scaled_text(fact_number(in, k + "raw_total"), false, "") + "\n";
    }
    if (fact(in, k + "input_rate") != "0") {
        text += "  Original sampling rate: " + fact(in, k + "input_rate") + " Hz\n";
    }
    text += "  Encoded by: " + fact(in, k + "vendor") + "\n";
    if (link < static_cast<int>(in.links.size())) {
        for (const std::string &line : in.links[link].comment_lines) {
            text += "  " + line + "\n";
        }
        if (in.links[link].suffix_bytes >= 0) {
            text += "<" + std::to_string(in.links[link].suffix_bytes) +
                    " bytes of unknown binary metadata>\n";
        }
    }
    return text + "\n";
}

} // namespace

// The two number forms, written here from their documented rules and not
// taken from the program, for the values a test meets.
std::string duration_text(long long samples, bool millis) {
    // Rounded half up to whole milliseconds, or to whole seconds.
    long long ms = millis ? (samples + 24) / 48 : (samples + 24000) / 48000 * 1000;
    long long seconds = ms / 1000;
    const long long week = 604800, day = 86400, hour = 3600, minute = 60;
    long long w = seconds / week, d = seconds % week / day, h = seconds % day / hour,
              m = seconds % hour / minute, s = seconds % minute;
    char text[64];
    if (w > 0) {
        snprintf(text, sizeof text, "%lldw%lldd%02lldh%02lldm%02lld", w, d, h, m, s);
    } else if (d > 0) {
        snprintf(text, sizeof text, "%lldd%02lldh%02lldm%02lld", d, h, m, s);
    } else if (h > 0) {
        snprintf(text, sizeof text, "%lldh%02lldm%02lld", h, m, s);
    } else if (m > 0) {
        snprintf(text, sizeof text, "%lldm%02lld", m, s);
    } else {
        snprintf(text, sizeof text, "%lld", s);
    }
    std::string shown = text;
    if (millis) {
        snprintf(text, sizeof text, ".%03lld", ms % 1000);
        shown += text;
    }
    return shown + "s";
}

// Sizes (base 1024) and bitrates (base 1000) below a tera-unit: the first
// prefix at which the value, rounded to whole units, is below the base; two
// decimals below 10 such units, one below 100, none from there.
std::string scaled_text(long long value, bool decimal, const char *separator) {
    const long long base = decimal ? 1000 : 1024;
    const char *letters = " kMGT";
    int prefix = 0;
    long long unit = 1;
    while (prefix < 4 && (value + unit / 2) / unit >= base) {
        prefix++;
        unit *= base;
    }
    long long whole = (value + unit / 2) / unit;
    char text[64];
    if (unit == 1 || whole >= 100) {
        snprintf(text, sizeof text, "%lld%s%c", whole, separator, letters[prefix]);
    } else {
        long long scale = whole < 10 ? 100 : 10;
        long long fixed = (value * scale + unit / 2) / unit;
        snprintf(text, sizeof text, scale == 100 ? "%lld.%02lld%s%c" : "%lld.%lld%s%c",
                 fixed / scale, fixed % scale, separator, letters[prefix]);
    }
    return text;
}

std::string closing_lines(const ClosingLines &lines) {
    std::string text;
    if (lines.length_warning) {
        text += LENGTH_WARNING;
        text += lines.corrupt ? CORRUPT_OUTPUT : "";
    }
    if (lines.wav_limit) {
        text += "WARNING: WAV output would be larger than 2 GB.\n"
                "Writing non-standard WAV header with invalid chunk sizes.\n";
    }
    if (!lines.rewrite_error.empty()) {
        text += "Error rewriting WAV header: " + lines.rewrite_error + "\n";
    }
    if (lines.cut_short) {
        text += "\nWARNING: Input does not end with a whole Ogg page: it may be cut short.\n";
    }
    return text;
}

ClosingLines length_warning_only() {
    ClosingLines lines;
    lines.length_warning = true;
    return lines;
}

ClosingLines cut_short_only() {
    ClosingLines lines;
    lines.cut_short = true;
    return lines;
}

std::string compose_transcript(const TranscriptInput &in) {
    std::string text;
    if (in.seekable) {
        long long total = fact_number(in, "pcm_total");
        text += "Total number of links: " + fact(in, "links") + "\n";
        text += "Total duration: " + duration_text(total, true) + " (" + std::to_string(total) +
                " samples @ 48 kHz)\n";
        text += "Total size: " + scaled_text(fact_number(in, "raw_total"), false, "") + "\n";
    }
    std::istringstream events(in.events);
    std::string kind;
    while (events >> kind) {
        long long a = 0, b = 0, c = 0;
        if (kind == "start") {
            events >> a;
            if (a != 0) {
                text += "Non-zero starting PCM offset: " + std::to_string(a) + "\n";
            }
        } else if (kind == "link") {
            events >> a;
            text += link_block(in, static_cast<int>(a));
        } else if (kind == "rebase") {
            events >> a >> b;
            if (b != 0) {
                text += "Non-zero starting PCM offset in link " + std::to_string(a) + ": " +
                        std::to_string(b) + "\n";
            }
        } else if (kind == "progress") {
            events >> a >> b >> c;
            text += "\r " + scaled_text(a, false, "") + "  " + duration_text(c, false) + "  (" +
                    scaled_text(b, true, " ") + "bps)" + std::string(20, ' ') + "\r";
        } else if (kind == "gap") {
            events >> a >> b >> c;
            text += "\nPCM offset gap! " + std::to_string(a) + "+" + std::to_string(b) +
                    "!=" + std::to_string(c) + "\n";
        } else if (kind == "hole") {
            text += "\nHole detected! Corrupt file segment?\n";
        } else if (kind == "error") {
            events >> a;
            text += "\nError decoding '" + in.input_name + "': " + std::to_string(a) + "\n";
            if (in.ssl) {
                text += "Possible truncation attack?\n";
            }
        } else if (kind == "end") {
            events >> a;
            text += "\nDone: played " + duration_text(a, true) + " (" + std::to_string(a) +
                    " samples @ 48 kHz).\n";
        }
    }
    return text + closing_lines(in.closing);
}
