#include "driver/entry.h"
#include "platform/coverage.h"

int main(int argc, char **argv) {
    int status = opus2wav_main(argc, argv);
    dump_coverage();
    return status;
}
