#include "startup/stack_limit.h"

#include <cstdint>

#ifndef _WIN32

#include <sys/resource.h>

size_t ensure_stack() {
    struct rlimit limit {};
    if (getrlimit(RLIMIT_STACK, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) {
        return SIZE_MAX;
    }
    if (limit.rlim_cur < STACK_WANTED) {
        struct rlimit raised = limit;
        raised.rlim_cur = limit.rlim_max < STACK_WANTED ? limit.rlim_max : STACK_WANTED;
        if (setrlimit(RLIMIT_STACK, &raised) == 0) {
            limit = raised;
        }
    }
    return static_cast<size_t>(limit.rlim_cur);
}

#else

size_t ensure_stack() {
    return SIZE_MAX;
}

#endif
