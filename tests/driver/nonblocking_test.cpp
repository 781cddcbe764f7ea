// Standard input and output handed over non-blocking by the parent.
#include "interrupt_fixture.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <sstream>
#include <string>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

// Descriptors handed over non-blocking, on each end, against a slow peer:
// the program waits for input, then for a full output pipe that takes a
// 120 ms block only in part, without spinning while the reader pauses, and
// the output is that of a blocking run byte for byte.
TEST_F(Interrupt, NonBlockingDescriptorsAgainstASlowPeer) {
    std::string input_path = dir + "/blocks120.opus", fifo = dir + "/nonblocking.fifo";
    make_opus(input_path, "ms=10000 frame=120");
    std::string input = read_file(input_path);
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    int reader = open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    Spawned p = spawn_program({PYTHON_BIN, "-c",
                               "import os, sys; os.set_blocking(0, False); "
                               "os.set_blocking(1, False); os.execv(sys.argv[1], sys.argv[1:])",
                               opus2wav_bin(), "-"},
                              "|", fifo);
    ASSERT_EQ(write(p.input, input.data(), 3000), 3000);
    // Less than a pipe of output: the program waits for more input.
    ASSERT_TRUE(blocked_in(p.pid, "poll"));
    // The rest comes from a thread, as the program takes it.
    std::thread feeder([&] {
        EXPECT_EQ(write(p.input, input.data() + 3000, input.size() - 3000),
                  static_cast<ssize_t>(input.size() - 3000));
        close(p.input);
    });
    // The output pipe is full and the program waits for room.
    ASSERT_TRUE(wait_until([&] {
        int queued = 0;
        return ioctl(reader, FIONREAD, &queued) == 0 && queued > 44 + 2 * 23040 &&
               contains(proc_file(p.pid, "wchan"), "poll");
    }));
    // While the reader pauses, the wait costs no CPU time to speak of.
    auto cpu_ticks = [&] {
        std::string stat = proc_file(p.pid, "stat");
        std::istringstream fields(stat.substr(stat.rfind(')') + 2));
        std::string field;
        long ticks = 0;
        for (int k = 3; k <= 15 && fields >> field; k++) {
            if (k >= 14) {
                ticks += std::stol(field); // utime and stime
            }
        }
        return ticks;
    };
    long before = cpu_ticks();
    usleep(500000);
    EXPECT_LE(cpu_ticks() - before, 10) << "busy waiting for the output";
    std::string out;
    char buffer[65536];
    for (;;) {
        ssize_t got = read(reader, buffer, sizeof buffer);
        if (got > 0) {
            out.append(buffer, static_cast<size_t>(got));
        } else if (got == 0) {
            break;
        } else {
            struct pollfd ready {};
            ready.fd = reader;
            ready.events = POLLIN;
            poll(&ready, 1, 1000);
        }
    }
    close(reader);
    feeder.join();
    std::string err;
    EXPECT_EQ(finish_program(p, &err), 0) << err;
    EXPECT_TRUE(contains(err, "\nDone: played 10.000s (480000 samples @ 48 kHz).\n")) << err;
    EXPECT_TRUE(same_bytes(out, expected_header(0) + reference_pcm(input_path)));
}

} // namespace
