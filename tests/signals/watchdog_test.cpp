// The watchdog's clock and its last word on standard error, which must end
// by its deadline whatever standard error does: take it, fill up, or lose
// its reader.
#include "signals/watchdog.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <string>
#include <unistd.h>

namespace {

TEST(Watchdog, MonotonicAfterKeepsNanosecondsInRange) {
    for (long us : {0L, 1L, 999999L, 1000000L, 2500000L}) {
        timespec now{};
        clock_gettime(CLOCK_MONOTONIC, &now);
        timespec at = monotonic_after(us);
        EXPECT_GE(at.tv_nsec, 0) << us;
        EXPECT_LT(at.tv_nsec, 1000000000) << us;
        long long ahead = (at.tv_sec - now.tv_sec) * 1000000LL + (at.tv_nsec - now.tv_nsec) / 1000;
        EXPECT_GE(ahead, us) << us;
        EXPECT_LT(ahead, us + 10000000LL) << us;
    }
}

TEST(Watchdog, LastWordEndsByItsDeadline) {
    signal(SIGPIPE, SIG_IGN);
    std::string text(300, 'w');
    const struct {
        const char *name;
        long deadline_us;
        bool full;
        bool reader;
        size_t arrives;
    } rows[] = {
        {"taken whole, in pieces", 2000000, false, true, 300},
        {"deadline already past", 0, false, true, 0},
        {"standard error full", 50000, true, true, 0},
        {"its reader gone", 2000000, false, false, 0},
    };
    int saved = dup(STDERR_FILENO);
    for (const auto &row : rows) {
        int ends[2];
        ASSERT_EQ(pipe2(ends, O_NONBLOCK), 0);
        size_t filled = 0;
        for (ssize_t put = 1; row.full && put > 0; filled += put > 0 ? put : 0) {
            put = write(ends[1], std::string(4096, 'f').data(), 4096);
        }
        if (!row.reader) {
            close(ends[0]);
        }
        dup2(ends[1], STDERR_FILENO);
        close(ends[1]);
        timespec deadline = monotonic_after(row.deadline_us);
        write_error_by(text.data(), text.size(), &deadline);
        dup2(saved, STDERR_FILENO);
        if (row.reader) {
            std::string got(70000, '\0');
            ssize_t n = read(ends[0], &got[0], got.size());
            got.resize(n > 0 ? static_cast<size_t>(n) : 0);
            EXPECT_EQ(got.size(), filled + row.arrives) << row.name;
            EXPECT_EQ(got.substr(filled), text.substr(0, row.arrives)) << row.name;
            close(ends[0]);
        }
    }
    close(saved);
}

} // namespace
