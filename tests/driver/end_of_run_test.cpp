// The end of a run in a process of its own, once the loop has stopped
// because the input ended: a signal recorded after the last read still ends
// the run by it, and once the header is true a further signal ends the
// process at once by its own default action.
#include "driver/end_of_run.h"
#include "signals/interrupts.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>

namespace {

TEST(EndOfRun, SignalsAfterTheLoopStopped) {
    const struct {
        const char *name;
        int during_closing_lines; // 0: none
        int death;
        const char *line;
    } rows[] = {
        {"a signal after the last read", 0, SIGTERM,
         "Interrupted: played [0-9.]+s \\(0 samples @ 48 kHz\\)"},
        {"a second signal once the header is true", SIGINT, SIGINT, ""},
    };
    for (const auto &row : rows) {
        EXPECT_EXIT(
            {
                catch_interrupts();
                raise(SIGTERM);
                DecodeSession session; // the input ended; the output cannot seek
                WavHeader header{};
                DescriptorInput input;
                end_run(session, header, &input);
                if (row.during_closing_lines != 0) {
                    raise(row.during_closing_lines);
                }
                end_if_interrupted();
                exit(0);
            },
            testing::KilledBySignal(row.death), row.line)
            << row.name;
    }
}

} // namespace
