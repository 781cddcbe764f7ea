#include "driver/entry.h"

int main(int argc, char **argv) {
    return opus2wav_main(argc, argv);
}
