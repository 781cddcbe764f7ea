#include "coverage/coverage_dump.h"
#include "driver/entry.h"

int main(int argc, char **argv) {
    return with_coverage_dumped(opus2wav_main(argc, argv));
}
