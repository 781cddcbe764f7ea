#include "report/stream_report.h"

#include "report/number_format.h"
#include "report/untrusted_text.h"
#include "signals/interrupts.h"

#include <cinttypes>

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
    // A run asked to stop does not wait for a long listing to be written.
    for (int i = 0; i < tags->comments && interrupt_signal() == 0; i++) {
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
