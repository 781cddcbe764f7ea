// The interrupt phases in a child process of their own (the flag is never
// cleared): a second catch_interrupts keeps the wake-up it made, a signal
// the parent ignored stays ignored in every phase, only the first signal is
// recorded, and once the header is true a signal acts by its default again.
#include "signals/interrupts.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>

namespace {

bool ignored(int signal_number) {
    struct sigaction now {};
    sigaction(signal_number, nullptr, &now);
    return now.sa_handler == SIG_IGN;
}

TEST(Interrupts, PhasesInOneProcess) {
    EXPECT_EXIT(
        {
            signal(SIGHUP, SIG_IGN);
            bool ok = catch_interrupts() && catch_interrupts() && interrupt_signal() == 0;
            raise(SIGHUP);
            raise(SIGTERM);
            raise(SIGINT);
            ok = ok && interrupt_signal() == SIGTERM && ignored(SIGHUP);
            interrupts_end_at_once();
            ok = ok && ignored(SIGHUP);
            if (!ok) {
                exit(1);
            }
            end_if_interrupted();
            exit(2);
        },
        testing::KilledBySignal(SIGTERM), "");
}

} // namespace
