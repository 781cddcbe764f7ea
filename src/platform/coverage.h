// In a coverage build (tools/coverage.sh), the counters are written out just
// before the process ends by a signal or by _exit, which skip the writing at
// exit. Elsewhere this does nothing.
#pragma once

#ifdef OPUS2WAV_COVERAGE
extern "C" void __gcov_dump(void);
inline void dump_coverage() {
    __gcov_dump();
}
#else
inline void dump_coverage() {}
#endif
