// Test helper that asks libopusfile directly what a file holds:
//   opus_facts decode IN OUT   decodes with op_read_stereo into raw 16-bit
//                              little-endian stereo (holes skipped, stops at
//                              the first error) and prints the frame count;
//   opus_facts facts IN        prints the totals and per-link facts as
//                              key=value lines;
//   opus_facts events IN       reads IN ("-": standard input) as a decoder
//                              that reports progress once per second of
//                              block starts and at each new link would, and
//                              prints one line per event (start, link,
//                              rebase, progress, gap, hole, error, end).
#include <opusfile.h>

#include <cstdio>
#include <cstring>

static int decode(const char *in, const char *out_path) {
    int error = 0;
    OggOpusFile *of = op_open_file(in, &error);
    if (of == nullptr) {
        fprintf(stderr, "open failed: %d\n", error);
        return 1;
    }
    FILE *out = fopen(out_path, "wb");
    if (out == nullptr) {
        op_free(of);
        return 1;
    }
    static opus_int16 pcm[11520];
    long long frames = 0;
    int status = 0;
    for (;;) {
        int n = op_read_stereo(of, pcm, 11520);
        if (n == OP_HOLE) {
            continue;
        }
        if (n < 0) {
            status = 3;
            break;
        }
        if (n == 0) {
            break;
        }
        for (int i = 0; i < 2 * n; i++) {
            unsigned char b[2] = {static_cast<unsigned char>(pcm[i] & 0xFF),
                                  static_cast<unsigned char>((pcm[i] >> 8) & 0xFF)};
            fwrite(b, 1, 2, out);
        }
        frames += n;
    }
    fclose(out);
    op_free(of);
    printf("%lld\n", frames);
    return status;
}

static int facts(const char *in) {
    int error = 0;
    OggOpusFile *of = op_open_file(in, &error);
    if (of == nullptr) {
        fprintf(stderr, "open failed: %d\n", error);
        return 1;
    }
    int links = op_link_count(of);
    printf("links=%d\n", links);
    printf("pcm_total=%lld\n", static_cast<long long>(op_pcm_total(of, -1)));
    printf("raw_total=%lld\n", static_cast<long long>(op_raw_total(of, -1)));
    for (int i = 0; i < links; i++) {
        const OpusHead *head = op_head(of, i);
        const OpusTags *tags = op_tags(of, i);
        printf("link%d.channels=%d\n", i, head->channel_count);
        printf("link%d.input_rate=%u\n", i, head->input_sample_rate);
        printf("link%d.pcm_total=%lld\n", i, static_cast<long long>(op_pcm_total(of, i)));
        printf("link%d.raw_total=%lld\n", i, static_cast<long long>(op_raw_total(of, i)));
        printf("link%d.vendor=%s\n", i, tags->vendor);
    }
    op_free(of);
    return 0;
}

static OggOpusFile *open_any(const char *in, int *error) {
    if (strcmp(in, "-") != 0) {
        return op_open_file(in, error);
    }
    OpusFileCallbacks cb = {nullptr, nullptr, nullptr, nullptr};
    void *stream = op_fdopen(&cb, 0, "rb");
    return stream == nullptr ? nullptr : op_open_callbacks(stream, &cb, nullptr, 0, error);
}

static int events(const char *in) {
    int error = 0;
    OggOpusFile *of = open_any(in, &error);
    if (of == nullptr) {
        printf("open-failed %d\n", error);
        return 1;
    }
    static opus_int16 pcm[11520];
    long long position = op_pcm_tell(of);
    printf("start %lld\n", position);
    long long shown_at = position - 48000;
    int shown_bitrate = 0;
    int last_link = -1;
    long long written = 0;
    for (;;) {
        int n = op_read_stereo(of, pcm, 11520);
        if (n == OP_HOLE) {
            printf("hole\n");
            continue;
        }
        if (n < 0) {
            printf("error %d\n", n);
            break;
        }
        int link = op_current_link(of);
        bool changed = link != last_link;
        if (changed) {
            printf("link %d\n", link);
            if (!op_seekable(of)) {
                position = op_pcm_tell(of) - n;
                printf("rebase %d %lld\n", link, position);
            }
        }
        if (changed || position - shown_at >= 48000) {
            shown_at = position;
            int bitrate = op_bitrate_instant(of);
            if (bitrate >= 0) {
                shown_bitrate = bitrate;
            }
            printf("progress %lld %d %lld\n", static_cast<long long>(op_raw_tell(of)),
                   shown_bitrate, position);
        }
        long long now = op_pcm_tell(of);
        if (position + n != now) {
            printf("gap %lld %d %lld\n", position, n, now);
        }
        position = now;
        if (n == 0) {
            printf("end %lld\n", written);
            break;
        }
        written += n;
        last_link = link;
    }
    op_free(of);
    return 0;
}

int main(int argc, char **argv) {
    if (argc == 3 && strcmp(argv[1], "events") == 0) {
        return events(argv[2]);
    }
    if (argc == 4 && strcmp(argv[1], "decode") == 0) {
        return decode(argv[2], argv[3]);
    }
    if (argc == 3 && strcmp(argv[1], "facts") == 0) {
        return facts(argv[2]);
    }
    fprintf(stderr, "usage: opus_facts decode IN OUT | facts IN | events IN\n");
    return 2;
}
