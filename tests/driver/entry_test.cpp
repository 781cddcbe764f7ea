#include "driver/entry.h"

#include <gtest/gtest.h>

namespace {

// A process can be started with no arguments at all; the usage line then
// names the program itself rather than a null pointer.
TEST(Entry, NoProgramNameAtAll) {
    char *argv[] = {nullptr};
    testing::internal::CaptureStderr();
    int status = opus2wav_main(0, argv);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Usage: opus2wav <file.opus>\n");
    EXPECT_EQ(status, 1);
}

} // namespace
