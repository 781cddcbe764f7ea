// The baseline for the benchmark: the bare decoding loop with nothing around
// it. Opens the file, reads with op_read_stereo into an 11520-value buffer,
// converts to little-endian bytes and writes each block with one fwrite.
#include <opusfile.h>

#include <cstdio>

int main(int argc, char **argv) {
    if (argc != 2) {
        return 2;
    }
    int error = 0;
    OggOpusFile *decoder = op_open_file(argv[1], &error);
    if (decoder == nullptr) {
        return 1;
    }
    static opus_int16 pcm[11520];
    static unsigned char bytes[23040];
    for (;;) {
        int samples = op_read_stereo(decoder, pcm, 11520);
        if (samples == OP_HOLE) {
            continue;
        }
        if (samples <= 0) {
            break;
        }
        for (int i = 0; i < 2 * samples; i++) {
            unsigned v = static_cast<unsigned short>(pcm[i]);
            bytes[2 * i] = static_cast<unsigned char>(v & 0xFF);
            bytes[2 * i + 1] = static_cast<unsigned char>(v >> 8);
        }
        if (fwrite(bytes, 4 * static_cast<size_t>(samples), 1, stdout) != 1) {
            break;
        }
    }
    op_free(decoder);
    return 0;
}
