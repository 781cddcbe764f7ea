// Test helper that asks libopusfile directly what a file holds:
//   opus_facts decode IN OUT   decodes with op_read_stereo into raw 16-bit
//                              little-endian stereo (holes skipped, stops at
//                              the first error) and prints the frame count;
//   opus_facts facts IN        prints the totals and per-link facts as
//                              key=value lines.
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

int main(int argc, char **argv) {
    if (argc == 4 && strcmp(argv[1], "decode") == 0) {
        return decode(argv[2], argv[3]);
    }
    if (argc == 3 && strcmp(argv[1], "facts") == 0) {
        return facts(argv[2]);
    }
    fprintf(stderr, "usage: opus_facts decode IN OUT | facts IN\n");
    return 2;
}
