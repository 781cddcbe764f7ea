#include "driver/entry.h"
#include "signals/coverage.h"

int main(int argc, char **argv) {
    return with_coverage_dumped(opus2wav_main(argc, argv));
}
