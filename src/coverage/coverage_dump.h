// In a coverage build (tools/coverage.sh), the counters are written out just
// before the process ends by a signal or by _exit, which skip the writing at
// exit, and by main before it returns. They are files too: a soft file size
// limit the run was given (the tests set one) is lifted first, so that it
// cannot keep them from being written. Elsewhere this does nothing.
#pragma once

#ifdef OPUS2WAV_COVERAGE
#include <sys/resource.h>

extern "C" void __gcov_dump(void);
inline void dump_coverage() {
    struct rlimit limit {};
    if (getrlimit(RLIMIT_FSIZE, &limit) == 0) {
        limit.rlim_cur = limit.rlim_max;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    __gcov_dump();
}
#else
inline void dump_coverage() {}
#endif

// What main returns: status, once the counters are written.
inline int with_coverage_dumped(int status) {
    dump_coverage();
    return status;
}
