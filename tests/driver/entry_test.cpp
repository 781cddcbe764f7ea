#include "driver/entry.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// The usage line names the program as it was called, shown as any name is:
// a process started with no arguments at all names the program itself, and
// a name that would steer the terminal (exec -a) is filtered.
TEST(Entry, UsageLineNamesTheProgram) {
    char escapes[] = "\x1b]0;x\a\x1b[2J";
    char name[] = "opus2wav";
    const struct {
        int argc;
        char *argv0;
        std::string line;
    } rows[] = {
        {0, nullptr, "Usage: opus2wav <file.opus>\n"},
        {1, escapes, "Usage: ?]0;x??[2J <file.opus>\n"},
        {1, name, "Usage: opus2wav <file.opus>\n"},
    };
    for (const auto &row : rows) {
        char *argv[] = {row.argv0, nullptr};
        testing::internal::CaptureStderr();
        int status = opus2wav_main(row.argc, argv);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), row.line);
        EXPECT_EQ(status, 1);
    }
}

} // namespace
