/* Preloaded by a test to stand for a system that refuses something. The
   words in FAIL_CALLS say what; every other call goes through as usual.
     rewind    an absolute seek of standard output fails with EIO (the probe
               and other seeks from the current position work)
     hold      an absolute seek of standard output never returns
     interrupt-rewind
               the first absolute seek of standard output raises SIGINT
               before it seeks: a second signal while the header is rewritten
     clock-behind
               the monotonic clock reads FAIL_CALLS_CLOCK_BEHIND seconds
               behind the truth, so that a bound on opening a URL runs out
               that much sooner after the start
     threads   no thread can be made (EAGAIN)
     timers    no timer can be made (EAGAIN)
     dlopen    no library can be loaded, with a message of its own
     foreign   a library asked for is one that lacks its functions (libc) */
#define _GNU_SOURCE
/* Both lseek and lseek64 are defined here, each under its own name. */
#undef _FILE_OFFSET_BITS
#include <dlfcn.h>
#include <errno.h>
#include <pthread.h>
#include <signal.h>
#include <stdlib.h>
#include <string.h>
#include <sys/syscall.h>
#include <sys/types.h>
#include <time.h>
#include <unistd.h>

static int failing(const char *word) {
    const char *words = getenv("FAIL_CALLS");
    size_t length = strlen(word);
    for (const char *at = words; at != NULL && (at = strstr(at, word)) != NULL; at += length) {
        if ((at == words || at[-1] == ' ' || at[-1] == ',') &&
            (at[length] == '\0' || at[length] == ' ' || at[length] == ',')) {
            return 1;
        }
    }
    return 0;
}

static int (*next_pthread_create)(pthread_t *, const pthread_attr_t *, void *(*)(void *), void *);
static int (*next_timer_create)(clockid_t, struct sigevent *, timer_t *);
static void *(*next_dlopen)(const char *, int);
static char *(*next_dlerror)(void);

/* Looked up once, at load: a lookup between a failed dlopen and the
   dlerror that follows would clear the error. A sanitizer runtime may call
   in before that (its start-up asks dlerror), so the first call looks them
   up itself. Copied, as ISO C has no conversion from an object pointer to
   a function pointer. */
static void find(void *next, size_t size, const char *name) {
    void *found = dlsym(RTLD_NEXT, name);
    memcpy(next, &found, size);
}

__attribute__((constructor)) static void find_next(void) {
    static int done;
    if (done) {
        return;
    }
    find(&next_pthread_create, sizeof next_pthread_create, "pthread_create");
    find(&next_timer_create, sizeof next_timer_create, "timer_create");
    find(&next_dlopen, sizeof next_dlopen, "dlopen");
    find(&next_dlerror, sizeof next_dlerror, "dlerror");
    done = 1;
}

off_t lseek(int fd, off_t offset, int whence) {
    if (fd == 1 && whence == SEEK_SET && failing("hold")) {
        for (;;) {
            pause();
        }
    }
    if (fd == 1 && whence == SEEK_SET && failing("interrupt-rewind")) {
        static int raised;
        if (!raised) {
            raised = 1;
            raise(SIGINT);
        }
    }
    if (fd == 1 && whence == SEEK_SET && failing("rewind")) {
        errno = EIO;
        return -1;
    }
    return (off_t)syscall(SYS_lseek, fd, offset, whence);
}

off_t lseek64(int fd, off_t offset, int whence) {
    return lseek(fd, offset, whence);
}

int clock_gettime(clockid_t clock, struct timespec *now) {
    int result = (int)syscall(SYS_clock_gettime, clock, now);
    if (result == 0 && clock == CLOCK_MONOTONIC && failing("clock-behind")) {
        const char *behind = getenv("FAIL_CALLS_CLOCK_BEHIND");
        now->tv_sec -= behind != NULL ? atol(behind) : 0;
    }
    return result;
}

int pthread_create(pthread_t *thread, const pthread_attr_t *attributes, void *(*run)(void *),
                   void *argument) {
    find_next();
    return failing("threads") ? EAGAIN : next_pthread_create(thread, attributes, run, argument);
}

int timer_create(clockid_t clock, struct sigevent *event, timer_t *timer) {
    find_next();
    if (failing("timers")) {
        errno = EAGAIN;
        return -1;
    }
    return next_timer_create(clock, event, timer);
}

void *dlopen(const char *file, int mode) {
    find_next();
    if (failing("dlopen")) {
        return NULL;
    }
    return next_dlopen(failing("foreign") ? "libc.so.6" : file, mode);
}

char *dlerror(void) {
    find_next();
    static char message[] = "libopusurl.so.0: cannot open shared object file (test)";
    return failing("dlopen") ? message : next_dlerror();
}
