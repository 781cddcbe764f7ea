// Threads of the program's own for what must happen while the main thread
// is blocked where it cannot look at anything: they need no timer and no
// queued signal, so they work when the user's real-time signal queue is
// full. POSIX only: Windows has none of this.
#pragma once

#ifndef _WIN32

#include <pthread.h>
#include <semaphore.h>
#include <time.h>

// Starts run(argument) on a new thread with every signal blocked, so that
// signals keep going to the main thread. False when no thread can be made.
bool start_watchdog(pthread_t *thread, void *(*run)(void *), void *argument);

// The monotonic clock microseconds from now.
timespec monotonic_after(long microseconds);

// Waits until posted is posted (true) or the monotonic clock reaches
// deadline (false).
bool wait_for_post(sem_t *posted, const timespec *deadline);

// Writes length bytes to standard error in small pieces, each only once it
// can take them without blocking, until done or until the monotonic clock
// reaches deadline. Async-signal-safe.
void write_error_by(const char *text, size_t length, const timespec *deadline);

#endif
