#include "report/stream_report.h"

#include "report/number_format.h"

#include <cinttypes>

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

} // namespace

void print_untrusted(FILE *stream, const char *text, size_t max_bytes) {
    // One pass; runs of harmless text go out in one piece. The report is not
    // on the per-block path, but a long comment should not cost a call per
    // byte. A sequence is never read past the text's NUL: a NUL is no
    // continuation byte, so the check stops there.
    const unsigned char *bytes = reinterpret_cast<const unsigned char *>(text);
    size_t run = 0;
    size_t at = 0;
    while (at < max_bytes && bytes[at] != 0) {
        unsigned char c = bytes[at];
        size_t length = utf8_sequence_length(bytes + at, max_bytes - at);
        bool shown = length != 0 && c >= 0x20 && c != 0x7F && !steers_terminal(bytes + at, length);
        if (shown) {
            at += length;
            continue;
        }
        // One '?' for a whole unwanted character, or for one stray byte.
        fwrite(text + run, 1, at - run, stream);
        fputc('?', stream);
        at += length != 0 ? length : 1;
        run = at;
    }
    fwrite(text + run, 1, at - run, stream);
}

namespace {

void print_labelled(const char *label, const char *value) {
    fputs(label, stderr);
    print_untrusted(stderr, value);
    fputc('\n', stderr);
}

} // namespace

void report_server_info(const OpusServerInfo *info) {
    if (info->name != nullptr) {
        print_labelled("Station name: ", info->name);
    }
    if (info->description != nullptr) {
        print_labelled("Station description: ", info->description);
    }
    if (info->genre != nullptr) {
        print_labelled("Station genre: ", info->genre);
    }
    if (info->url != nullptr) {
        print_labelled("Station homepage: ", info->url);
    }
    if (info->bitrate_kbps >= 0) {
        fprintf(stderr, "Station bitrate: %u kbps\n", static_cast<unsigned>(info->bitrate_kbps));
    }
    if (info->is_public >= 0) {
        fprintf(stderr, "%s\n", info->is_public ? "Station is public." : "Station is private.");
    }
    if (info->server != nullptr) {
        print_labelled("Server software: ", info->server);
    }
    if (info->content_type != nullptr) {
        print_labelled("Content-Type: ", info->content_type);
    }
}

int64_t report_stream_totals(OggOpusFile *decoder) {
    fprintf(stderr, "Total number of links: %i\n", op_link_count(decoder));
    int64_t total = op_pcm_total(decoder, -1);
    fprintf(stderr, "Total duration: ");
    show_duration(stderr, total, 1);
    fprintf(stderr, " (%" PRId64 " samples @ 48 kHz)\n", total);
    int64_t size = op_raw_total(decoder, -1);
    fprintf(stderr, "Total size: ");
    show_scaled(stderr, size, 0, "");
    fprintf(stderr, "\n");
    return total;
}

void report_link(OggOpusFile *decoder, int link) {
    fprintf(stderr, "Decoding link %i:                          \n", link);
    const OpusHead *head = op_head(decoder, link);
    fprintf(stderr, "  Channels: %i\n", head->channel_count);
    if (op_seekable(decoder)) {
        int64_t duration = op_pcm_total(decoder, link);
        fprintf(stderr, "  Duration: ");
        show_duration(stderr, duration, 1);
        fprintf(stderr, " (%" PRId64 " samples @ 48 kHz)\n", duration);
        int64_t size = op_raw_total(decoder, link);
        fprintf(stderr, "  Size: ");
        show_scaled(stderr, size, 0, "");
        fprintf(stderr, "\n");
    }
    if (head->input_sample_rate != 0) {
        fprintf(stderr, "  Original sampling rate: %lu Hz\n",
                static_cast<unsigned long>(head->input_sample_rate));
    }
    const OpusTags *tags = op_tags(decoder, link);
    print_labelled("  Encoded by: ", tags->vendor);
    for (int i = 0; i < tags->comments; i++) {
        report_comment(tags->user_comments[i]);
    }
    int suffix_length = 0;
    if (opus_tags_get_binary_suffix(tags, &suffix_length) != nullptr) {
        fprintf(stderr, "<%u bytes of unknown binary metadata>\n",
                static_cast<unsigned>(suffix_length));
    }
    fprintf(stderr, "\n");
}

void report_comment(const char *comment) {
    if (opus_tagncompare("METADATA_BLOCK_PICTURE", 22, comment) != 0) {
        print_labelled("  ", comment);
        return;
    }
    OpusPictureTag picture;
    int result = opus_picture_tag_parse(&picture, comment);
    fputs("  ", stderr);
    print_untrusted(stderr, comment, 23);
    if (result < 0) {
        fprintf(stderr, "<error parsing picture tag>\n");
        return;
    }
    fprintf(stderr, "%u|", static_cast<unsigned>(picture.type));
    print_untrusted(stderr, picture.mime_type);
    fputc('|', stderr);
    print_untrusted(stderr, picture.description);
    fprintf(stderr, "|%ux%ux%u", static_cast<unsigned>(picture.width),
            static_cast<unsigned>(picture.height), static_cast<unsigned>(picture.depth));
    if (picture.colors != 0) {
        fprintf(stderr, "/%u", static_cast<unsigned>(picture.colors));
    }
    if (picture.format != OP_PIC_FORMAT_URL) {
        fprintf(stderr, "|<%u bytes of image data>\n", static_cast<unsigned>(picture.data_length));
    } else {
        fputc('|', stderr);
        print_untrusted(stderr, reinterpret_cast<const char *>(picture.data));
        fputc('\n', stderr);
    }
    opus_picture_tag_clear(&picture);
}
