#include "report/untrusted_text.h"

#include "signals/interrupts.h"

#include <cstring>

namespace {

// The length of the well-formed UTF-8 sequence that starts at text, 0 when
// the byte there starts none (the Unicode Standard's table of well-formed
// byte sequences: no overlong forms, no surrogates, nothing above U+10FFFF,
// nothing truncated). At most available bytes are looked at.
size_t utf8_sequence_length(const unsigned char *text, size_t available) {
    unsigned char lead = text[0];
    if (lead < 0x80) {
        return 1;
    }
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    size_t length;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (length > available || text[1] < low || text[1] > high) {
        return 0;
    }
    for (size_t k = 2; k < length; k++) {
        if (text[k] < 0x80 || text[k] > 0xBF) {
            return 0;
        }
    }
    return length;
}

// Characters that steer a terminal or change how a line reads: the C1
// controls (U+0080 to U+009F, CSI and OSC among them), the bidirectional
// embeddings, overrides and isolates (U+202A to U+202E, U+2066 to U+2069),
// and the line and paragraph separators (U+2028, U+2029).
bool steers_terminal(const unsigned char *text, size_t length) {
    if (length == 2) {
        return text[0] == 0xC2 && text[1] <= 0x9F;
    }
    if (length == 3 && text[0] == 0xE2) {
        return (text[1] == 0x80 && text[2] >= 0xA8 && text[2] <= 0xAE) ||
               (text[1] == 0x81 && text[2] >= 0xA6 && text[2] <= 0xA9);
    }
    return false;
}

// Where the shown text goes: a stream, through a fixed buffer so that text
// full of replaced characters still goes out in large pieces, or a string.
// Once the run has been asked to stop, the rest of a long text is dropped:
// a standard error that nobody reads must not hold up the end of the run.
struct TextSink {
    FILE *stream = nullptr;
    char *text = nullptr; // filled from the start, NUL-terminated at the end
    char buffer[4096];
    size_t used = 0;
    bool dropped = false;
};

void sink_flush(TextSink &sink) {
    if (sink.used != 0 && !sink.dropped) {
        fwrite(sink.buffer, 1, sink.used, sink.stream);
    }
    sink.used = 0;
    sink.dropped = interrupt_signal() != 0;
}

void sink_put(TextSink &sink, const char *piece, size_t length) {
    if (sink.text != nullptr) {
        memcpy(sink.text + sink.used, piece, length);
        sink.used += length;
        return;
    }
    if (length > sizeof sink.buffer - sink.used) {
        sink_flush(sink);
        if (length >= sizeof sink.buffer) {
            if (!sink.dropped) {
                fwrite(piece, 1, length, sink.stream);
            }
            return;
        }
    }
    memcpy(sink.buffer + sink.used, piece, length);
    sink.used += length;
}

// One pass; runs of harmless text are passed on in one piece. A sequence is
// never read past the text's NUL: a NUL is no continuation byte, so the
// check stops there.
void filter_into(TextSink &sink, const char *text, size_t max_bytes) {
    const unsigned char *bytes = reinterpret_cast<const unsigned char *>(text);
    size_t run = 0;
    size_t at = 0;
    while (at < max_bytes && bytes[at] != 0 && !sink.dropped) {
        unsigned char c = bytes[at];
        size_t length = utf8_sequence_length(bytes + at, max_bytes - at);
        bool shown = length != 0 && c >= 0x20 && c != 0x7F && !steers_terminal(bytes + at, length);
        if (shown) {
            at += length;
            continue;
        }
        // One '?' for a whole unwanted character, or for one stray byte.
        sink_put(sink, text + run, at - run);
        sink_put(sink, "?", 1);
        at += length != 0 ? length : 1;
        run = at;
    }
    sink_put(sink, text + run, at - run);
}

} // namespace

void print_untrusted(FILE *stream, const char *text, size_t max_bytes) {
    TextSink sink;
    sink.stream = stream;
    filter_into(sink, text, max_bytes);
    sink_flush(sink);
}

void filter_untrusted(const char *text, char *out) {
    TextSink sink;
    sink.text = out;
    filter_into(sink, text, SIZE_MAX);
    out[sink.used] = '\0';
}
