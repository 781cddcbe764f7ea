/* Preloaded by a test to stand for a machine where the URL library cannot be
   loaded: every dlopen fails with a message of its own. */
#include <stddef.h>

void *dlopen(const char *file, int mode) {
    (void)file;
    (void)mode;
    return NULL;
}

char *dlerror(void) {
    static char message[] = "libopusurl.so.0: cannot open shared object file (test)";
    return message;
}
