// Test-input generator: writes an Ogg Opus file of one or more chained links
// made with libopusenc. Each link is a list of key=value words; links are
// separated by "--":
//
//   make_opus OUT ms=2000 ch=2 tag=TITLE=One pic=png -- ms=500 ch=1 rate=44100
//
// Keys: ms (length), ch (channels, 1-8), rate (input rate recorded in the
// header), bitrate (bit/s), signal (music, sine, noise, silence, extremes;
// silence decodes to small non-zero values, as op_read_stereo dithers),
// pagems (longest page), frame (2.5, 10, 20, 40, 60 or 120 ms), seed, serial, tag=NAME=VALUE
// (repeatable), filltag=NAME=HH:COUNT (a tag whose value is COUNT bytes of hex HH, for texts
// too long for a command line), pic=png|palette|url|bad (repeatable), pictag=NAME (the field
// name used for pictures).
#include <opus/opusenc.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace {

struct LinkSpec {
    long ms = 1000;
    int channels = 2;
    int rate = 48000;
    int bitrate = 0;
    std::string signal = "music";
    unsigned seed = 1;
    int serial = -1;
    int page_ms = 0;
    double frame_ms = 0;
    std::vector<std::pair<std::string, std::string>> tags;
    std::vector<std::string> pictures;
    std::string picture_tag = "METADATA_BLOCK_PICTURE";
};

void append_be32(std::string &out, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        out.push_back(static_cast<char>((v >> shift) & 0xFF));
    }
}

std::string base64(const std::string &in) {
    static const char table[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    size_t i = 0;
    for (; i + 2 < in.size(); i += 3) {
        uint32_t v = (uint8_t(in[i]) << 16) | (uint8_t(in[i + 1]) << 8) | uint8_t(in[i + 2]);
        out += table[v >> 18];
        out += table[(v >> 12) & 63];
        out += table[(v >> 6) & 63];
        out += table[v & 63];
    }
    if (i + 1 == in.size()) {
        uint32_t v = uint8_t(in[i]) << 16;
        out += table[v >> 18];
        out += table[(v >> 12) & 63];
        out += "==";
    } else if (i + 2 == in.size()) {
        uint32_t v = (uint8_t(in[i]) << 16) | (uint8_t(in[i + 1]) << 8);
        out += table[v >> 18];
        out += table[(v >> 12) & 63];
        out += table[(v >> 6) & 63];
        out += '=';
    }
    return out;
}

// A PNG signature and IHDR chunk: enough for a reader to take the size from.
std::string png_header(uint32_t width, uint32_t height, int bit_depth, int colour_type) {
    std::string png("\x89PNG\r\n\x1a\n", 8);
    append_be32(png, 13);
    png += "IHDR";
    append_be32(png, width);
    append_be32(png, height);
    png.push_back(static_cast<char>(bit_depth));
    png.push_back(static_cast<char>(colour_type));
    png.append(3, '\0');
    append_be32(png, 0); // CRC, not checked by readers of the size
    return png;
}

std::string picture_block(uint32_t type, const std::string &mime, const std::string &description,
                          uint32_t width, uint32_t height, uint32_t depth, uint32_t colors,
                          const std::string &data) {
    std::string block;
    append_be32(block, type);
    append_be32(block, static_cast<uint32_t>(mime.size()));
    block += mime;
    append_be32(block, static_cast<uint32_t>(description.size()));
    block += description;
    append_be32(block, width);
    append_be32(block, height);
    append_be32(block, depth);
    append_be32(block, colors);
    append_be32(block, static_cast<uint32_t>(data.size()));
    block += data;
    return block;
}

std::string picture_value(const std::string &kind) {
    if (kind == "png") {
        return base64(
            picture_block(3, "image/png", "Front cover", 16, 8, 24, 0, png_header(16, 8, 8, 2)));
    }
    if (kind == "palette") {
        std::string data = png_header(4, 2, 8, 3);
        data += std::string("\0\0\0\x06PLTE", 8);
        data += std::string(6, '\x7f');
        append_be32(data, 0);
        return base64(picture_block(4, "image/png", "Back", 4, 2, 24, 2, data));
    }
    if (kind == "url") {
        return base64(picture_block(3, "-->", "Link", 0, 0, 0, 0, "http://example.invalid/c.png"));
    }
    return "not*a*picture";
}

// Deterministic audio: a few tones moving through notes, with a little noise,
// loud enough to use most of the 16-bit range.
void fill_signal(const LinkSpec &spec, long start, int frames, std::vector<float> &out,
                 uint32_t &state) {
    out.resize(static_cast<size_t>(frames) * spec.channels);
    for (int i = 0; i < frames; i++) {
        long n = start + i;
        double t = static_cast<double>(n) / spec.rate;
        for (int c = 0; c < spec.channels; c++) {
            state = state * 1664525u + 1013904223u;
            double noise = (static_cast<double>(state >> 8) / 16777216.0) * 2.0 - 1.0;
            double v = 0;
            if (spec.signal == "sine") {
                v = 0.5 * std::sin(2 * M_PI * 440.0 * t);
            } else if (spec.signal == "noise") {
                v = 0.7 * noise;
            } else if (spec.signal == "extremes") {
                v = (n / 480) % 2 ? 1.2 : -1.2; // clipped square wave
            } else if (spec.signal == "music") {
                static const double notes[] = {220.0, 261.63, 329.63, 392.0, 293.66, 349.23};
                double f = notes[(n / (spec.rate / 4)) % 6] * (1 + 0.01 * c);
                v = 0.35 * std::sin(2 * M_PI * f * t) + 0.2 * std::sin(2 * M_PI * 2.01 * f * t) +
                    0.1 * std::sin(2 * M_PI * 3.02 * f * t) + 0.05 * noise;
            }
            out[static_cast<size_t>(i) * spec.channels + c] = static_cast<float>(v);
        }
    }
}

int write_to_file(void *user, const unsigned char *ptr, opus_int32 len) {
    return fwrite(ptr, 1, static_cast<size_t>(len), static_cast<FILE *>(user)) !=
           static_cast<size_t>(len);
}

int close_nothing(void *) {
    return 0;
}

bool encode_link(const LinkSpec &spec, FILE *out) {
    OggOpusComments *comments = ope_comments_create();
    for (const auto &tag : spec.tags) {
        ope_comments_add(comments, tag.first.c_str(), tag.second.c_str());
    }
    for (const auto &kind : spec.pictures) {
        ope_comments_add(comments, spec.picture_tag.c_str(), picture_value(kind).c_str());
    }
    OpusEncCallbacks callbacks = {write_to_file, close_nothing};
    int error = 0;
    OggOpusEnc *enc = ope_encoder_create_callbacks(
        &callbacks, out, comments, spec.rate, spec.channels, spec.channels > 2 ? 1 : 0, &error);
    ope_comments_destroy(comments);
    if (enc == nullptr) {
        fprintf(stderr, "make_opus: encoder: %s\n", ope_strerror(error));
        return false;
    }
    if (spec.serial >= 0) {
        ope_encoder_ctl(enc, OPE_SET_SERIALNO(spec.serial));
    }
    if (spec.page_ms > 0) {
        ope_encoder_ctl(enc, OPE_SET_MUXING_DELAY(spec.page_ms * 48));
    }
    if (spec.frame_ms > 0) {
        int size = spec.frame_ms == 2.5   ? OPUS_FRAMESIZE_2_5_MS
                   : spec.frame_ms == 10  ? OPUS_FRAMESIZE_10_MS
                   : spec.frame_ms == 40  ? OPUS_FRAMESIZE_40_MS
                   : spec.frame_ms == 60  ? OPUS_FRAMESIZE_60_MS
                   : spec.frame_ms == 120 ? OPUS_FRAMESIZE_120_MS
                                          : OPUS_FRAMESIZE_20_MS;
        ope_encoder_ctl(enc, OPUS_SET_EXPERT_FRAME_DURATION(size));
    }
    if (spec.bitrate > 0) {
        ope_encoder_ctl(enc, OPUS_SET_BITRATE(spec.bitrate));
    }
    long total = spec.ms * spec.rate / 1000;
    uint32_t state = spec.seed;
    std::vector<float> pcm;
    for (long done = 0; done < total;) {
        int frames = static_cast<int>(total - done < 4800 ? total - done : 4800);
        fill_signal(spec, done, frames, pcm, state);
        if (ope_encoder_write_float(enc, pcm.data(), frames) != OPE_OK) {
            fprintf(stderr, "make_opus: write failed\n");
            ope_encoder_destroy(enc);
            return false;
        }
        done += frames;
    }
    error = ope_encoder_drain(enc);
    ope_encoder_destroy(enc);
    return error == OPE_OK;
}

bool parse_word(LinkSpec &spec, const std::string &word) {
    size_t eq = word.find('=');
    if (eq == std::string::npos) {
        return false;
    }
    std::string key = word.substr(0, eq);
    std::string value = word.substr(eq + 1);
    if (key == "ms") {
        spec.ms = std::atol(value.c_str());
    } else if (key == "ch") {
        spec.channels = std::atoi(value.c_str());
    } else if (key == "rate") {
        spec.rate = std::atoi(value.c_str());
    } else if (key == "bitrate") {
        spec.bitrate = std::atoi(value.c_str());
    } else if (key == "signal") {
        spec.signal = value;
    } else if (key == "seed") {
        spec.seed = static_cast<unsigned>(std::atol(value.c_str()));
    } else if (key == "serial") {
        spec.serial = std::atoi(value.c_str());
    } else if (key == "pagems") {
        spec.page_ms = std::atoi(value.c_str());
    } else if (key == "frame") {
        spec.frame_ms = std::atof(value.c_str());
    } else if (key == "pic") {
        spec.pictures.push_back(value);
    } else if (key == "pictag") {
        spec.picture_tag = value;
    } else if (key == "tag") {
        size_t eq2 = value.find('=');
        if (eq2 == std::string::npos) {
            return false;
        }
        spec.tags.emplace_back(value.substr(0, eq2), value.substr(eq2 + 1));
    } else if (key == "filltag") {
        size_t eq2 = value.find('=');
        size_t colon = value.find(':', eq2 == std::string::npos ? 0 : eq2);
        if (eq2 == std::string::npos || colon == std::string::npos) {
            return false;
        }
        char byte = static_cast<char>(std::strtol(value.substr(eq2 + 1, 2).c_str(), nullptr, 16));
        size_t count = std::strtoul(value.c_str() + colon + 1, nullptr, 10);
        spec.tags.emplace_back(value.substr(0, eq2), std::string(count, byte));
    } else {
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char **argv) {
    if (argc < 2) {
        fprintf(stderr, "usage: make_opus OUT [key=value ...] [-- key=value ...]\n");
        return 2;
    }
    std::vector<LinkSpec> links(1);
    for (int i = 2; i < argc; i++) {
        if (std::strcmp(argv[i], "--") == 0) {
            links.emplace_back();
            links.back().seed = static_cast<unsigned>(links.size());
        } else if (!parse_word(links.back(), argv[i])) {
            fprintf(stderr, "make_opus: bad word '%s'\n", argv[i]);
            return 2;
        }
    }
    FILE *out = std::strcmp(argv[1], "-") == 0 ? stdout : fopen(argv[1], "wb");
    if (out == nullptr) {
        perror(argv[1]);
        return 1;
    }
    for (size_t i = 0; i < links.size(); i++) {
        if (links[i].serial < 0) {
            links[i].serial = static_cast<int>(1000 + i); // distinct, repeatable
        }
        if (!encode_link(links[i], out)) {
            return 1;
        }
    }
    return fclose(out) == 0 ? 0 : 1;
}
