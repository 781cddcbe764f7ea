// The fixture of the tests that send real signals to the built program:
// the inputs they share, and how they look at the program's state.
#pragma once

#include "run.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// A FIFO at path that is full before the program opens it, with a reader
// that never reads; both ends are closed when it goes.
struct FullFifo {
    int reader = -1;
    int filler = -1;
    explicit FullFifo(const std::string &path) {
        EXPECT_EQ(mkfifo(path.c_str(), 0600), 0);
        reader = open(path.c_str(), O_RDONLY | O_NONBLOCK);
        filler = open(path.c_str(), O_WRONLY | O_NONBLOCK);
        EXPECT_GE(reader, 0);
        EXPECT_GE(filler, 0);
        std::string block(4096, 'x');
        while (write(filler, block.data(), block.size()) > 0) {
        }
    }
    ~FullFifo() {
        close(filler);
        close(reader);
    }
    FullFifo(const FullFifo &) = delete;
    FullFifo &operator=(const FullFifo &) = delete;
};

class Interrupt : public testing::Test {
  protected:
    inline static std::string dir;
    inline static std::string ten;    // 10 s, pages of 100 ms
    inline static std::string chatty; // 1 s, then a link whose comment fills a pipe
    inline static std::string two_minutes;

    static void SetUpTestSuite() {
        dir = make_temp_dir();
        ten = dir + "/ten.opus";
        chatty = dir + "/chatty.opus";
        make_opus(ten, TEN_SECONDS);
        make_opus(chatty, "ms=1000 pagems=100 -- ms=1000 tag=COMMENT=" + std::string(90000, 'x'));
        two_minutes = dir + "/two_minutes.opus";
        make_opus(two_minutes, "ms=120000");
    }

    // What a run stopped by a signal must leave in a seekable output: a header
    // for exactly the whole frames behind it, and those frames as decoded.
    static void expect_true_file(const std::string &wav, const std::string &input,
                                 int64_t expected_frames = -1) {
        std::string bytes = read_file(wav);
        ASSERT_GE(bytes.size(), 44u);
        ASSERT_EQ((bytes.size() - 44) % 4, 0u) << "a partial frame after an interrupt";
        int64_t frames = static_cast<int64_t>((bytes.size() - 44) / 4);
        if (expected_frames >= 0) {
            EXPECT_EQ(frames, expected_frames);
        }
        EXPECT_TRUE(same_bytes(bytes.substr(0, 44), expected_final_header(frames)));
        EXPECT_TRUE(
            same_bytes(bytes.substr(44), reference_pcm(input).substr(0, bytes.size() - 44)));
    }

    // What /proc/PID/name of the program says now.
    static std::string proc_file(int pid, const char *name) {
        return read_file("/proc/" + std::to_string(pid) + "/" + name);
    }

    // Waits until the program is blocked in the kernel at where (a part of
    // the name in /proc/PID/wchan: "pipe_read", "pipe_write", "poll").
    static bool blocked_in(int pid, const char *where) {
        return wait_until([&] { return contains(proc_file(pid, "wchan"), where); });
    }

    // The words that start a program with the calls named failing.
    static std::vector<std::string> failing_before(const std::string &calls) {
        return {"/bin/sh", "-c", failing_calls(calls) + "exec \"$@\"", "sh"};
    }

    // The words that run the command after them with the signals that a
    // Python expression names blocked, as a parent may hand them over.
    static std::vector<std::string> blocked_by_parent(const std::string &signals,
                                                      std::vector<std::string> command) {
        command.insert(command.begin(),
                       {PYTHON_BIN, "-c",
                        "import signal,os,sys; signal.pthread_sigmask(signal.SIG_BLOCK, " +
                            signals + "); os.execv(sys.argv[1], sys.argv[1:])"});
        return command;
    }
    static std::vector<std::string> realtime_blocked(std::vector<std::string> command) {
        return blocked_by_parent("range(signal.SIGRTMIN, signal.SIGRTMAX+1)", command);
    }

    static std::string played_tail(int64_t frames) {
        return " (" + std::to_string(frames) + " samples @ 48 kHz).\n";
    }
};
