// Real signals sent to the built program during real runs: the run stops, the
// header on a file output is made true for what the file holds, one line says
// so, and the process still ends by the signal it got.
#include "interrupt_fixture.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <sstream>
#include <string>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

// Standard input fed a third of the file and then left open: the run waits
// for more input when the signal comes.
TEST_F(Interrupt, SlowlyFedPipeIntoFile) {
    std::string input = read_file(ten);
    for (int sig : {SIGINT, SIGTERM, SIGHUP}) {
        std::string wav = dir + "/fed" + std::to_string(sig) + ".wav";
        Spawned p = spawn_program({opus2wav_bin(), "-"}, "|", wav);
        ASSERT_EQ(write(p.input, input.data(), input.size() / 3),
                  static_cast<ssize_t>(input.size() / 3));
        // Some audio has been written: the run is waiting for the rest.
        ASSERT_TRUE(wait_until([&] { return file_size(wav) > 44 + 96000; })) << sig;
        ASSERT_TRUE(blocked_in(p.pid, "pipe_read")) << sig;
        kill(p.pid, sig);
        std::string err;
        EXPECT_EQ(finish_program(p, &err), 128 + sig) << err;
        int64_t frames = (file_size(wav) - 44) / 4;
        EXPECT_GT(frames, 0);
        EXPECT_LT(frames, 480000);
        expect_true_file(wav, ten);
        EXPECT_TRUE(contains(err, "\nInterrupted: played ")) << err;
        EXPECT_TRUE(contains(err, played_tail(frames))) << err;
        EXPECT_FALSE(contains(err, "Done: played")) << err;
        EXPECT_FALSE(contains(err, "Error")) << err;
    }
}

// Input that stalls after a few pages, through standard input and through a
// named FIFO, at offsets inside and between pages: the blocked read comes
// back to the loop, however the stall falls.
TEST_F(Interrupt, StalledPipeOrFifoInputEndsPromptly) {
    std::string input = read_file(ten);
    std::string fifo = dir + "/in.fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    int round = 0;
    for (bool named : {false, true}) {
        for (size_t offset : {3000, 9001, 30000, 61234}) {
            int sig = round++ % 2 ? SIGINT : SIGTERM;
            std::string wav = dir + "/stall" + std::to_string(round) + ".wav";
            Spawned p = named ? spawn_program({opus2wav_bin(), fifo}, "", wav)
                              : spawn_program({opus2wav_bin(), "-"}, "|", wav);
            int feed = named ? open(fifo.c_str(), O_WRONLY) : p.input;
            ASSERT_EQ(write(feed, input.data(), offset), static_cast<ssize_t>(offset));
            ASSERT_TRUE(wait_until([&] { return file_size(wav) >= 44; }));
            ASSERT_TRUE(blocked_in(p.pid, "pipe_read")) << named << " " << offset;
            kill(p.pid, sig);
            std::string err;
            EXPECT_EQ(finish_program(p, &err, 3000), 128 + sig) << named << " " << offset;
            if (named) {
                close(feed);
            }
            expect_true_file(wav, ten);
            EXPECT_TRUE(contains(err, "\nInterrupted: played ")) << err;
        }
    }
}

// The wake-up's real-time signal, sent by another process once the
// program's handler for it is in place, acts as it would without that
// handler: here it ends a run held in its header rewrite. When the parent
// handed it over blocked, it stays without effect.
TEST_F(Interrupt, OutsideWakeUpSignalActsAsWithoutTheHandler) {
    std::string wav = dir + "/held.wav";
    std::vector<std::string> args = failing_before("hold");
    args.insert(args.end(), {opus2wav_bin(), "-"});
    Spawned p = spawn_program(args, "|", wav);
    std::string input = read_file(ten);
    ASSERT_EQ(write(p.input, input.data(), input.size() / 3),
              static_cast<ssize_t>(input.size() / 3));
    ASSERT_TRUE(wait_until([&] { return file_size(wav) > 44; }));
    kill(p.pid, SIGTERM);
    int wake = SIGRTMIN + 2; // the wake-up timer's signal, written here on purpose
    ASSERT_TRUE(wait_until([&] {
        std::string status = proc_file(p.pid, "status");
        size_t at = status.find("SigCgt:\t");
        return at != std::string::npos &&
               (std::stoull(status.substr(at + 8, 16), nullptr, 16) >> (wake - 1) & 1) != 0;
    }));
    kill(p.pid, wake);
    std::string err;
    EXPECT_EQ(finish_program(p, &err, 5000), 128 + wake) << err;

    // Handed over blocked, the same signal from outside has no effect, before
    // an interrupt as after it: the run ends by SIGTERM with a true header.
    std::string kept = dir + "/kept.wav";
    p = spawn_program(realtime_blocked({opus2wav_bin(), "-"}), "|", kept);
    ASSERT_EQ(write(p.input, input.data(), input.size() / 3),
              static_cast<ssize_t>(input.size() / 3));
    ASSERT_TRUE(wait_until([&] { return file_size(kept) > 44; }));
    auto nothing_pending = [&] {
        return contains(proc_file(p.pid, "status"), "ShdPnd:\t0000000000000000");
    };
    kill(p.pid, wake);
    ASSERT_TRUE(wait_until(nothing_pending));
    kill(p.pid, SIGTERM);
    kill(p.pid, wake);
    err.clear();
    EXPECT_EQ(finish_program(p, &err, 5000), 128 + SIGTERM) << err;
    expect_true_file(kept, ten);
}

// A seekable input into a file, stopped while the program is held up writing
// the second link's block to standard error: the first header (exact for the
// declared 2 s) is rewritten for the first link, the length check still
// speaks. The same for SIGXCPU, which a soft CPU limit sends, and when no
// timer can be made for the wake-up (no queued signal to be had), neither a
// timer nor a thread, or the signal of either comes blocked from the parent,
// while standard error is a pipe that is never read, so that every line
// after the signal blocks too. A second
// signal while it finishes ends the process at once.
TEST_F(Interrupt, SeekableInputIntoFileAndASecondSignal) {
    std::string wav = dir + "/chatty.wav";
    // Standard error into a pipe of its own that is never read.
    std::vector<std::string> error_unread = {"/bin/sh", "-c", "exec \"$@\" 2>\"$UNREAD\"", "sh"};
    const struct {
        std::vector<std::string> before;
        int sig;
        bool error_unread;
    } rows[] = {
        {{}, SIGINT, false},
        {{"/usr/bin/prlimit", "--core=0", "--"}, SIGXCPU, false},
        {{}, SIGTERM, true},
        {{"/usr/bin/prlimit", "--sigpending=0", "--"}, SIGTERM, true},
        {failing_before("timers threads"), SIGTERM, false},
        {failing_before("timers threads"), SIGTERM, true},
        {realtime_blocked({}), SIGTERM, true},
        {blocked_by_parent("[signal.SIGURG]", {"/usr/bin/prlimit", "--sigpending=0", "--"}),
         SIGTERM, true},
        // The last resort's SIGALRM comes blocked from the parent.
        {blocked_by_parent("[signal.SIGALRM]", failing_before("timers threads")), SIGTERM, true},
    };
    Spawned p;
    std::string err;
    std::vector<int> unread_readers;
    for (const auto &row : rows) {
        std::vector<std::string> args = row.before;
        if (row.error_unread) {
            std::string fifo = dir + "/unread" + std::to_string(unread_readers.size()) + ".fifo";
            ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
            unread_readers.push_back(open(fifo.c_str(), O_RDONLY | O_NONBLOCK));
            setenv("UNREAD", fifo.c_str(), 1);
            args.insert(args.begin(), error_unread.begin(), error_unread.end());
        }
        args.insert(args.end(), {opus2wav_bin(), chatty});
        p = spawn_program(args, "", wav);
        // The first link is written; the comment of the second fills the pipe.
        ASSERT_TRUE(wait_until([&] {
            return file_size(wav) == static_cast<int64_t>(44 + wav_data_bytes(samples_in_ms(1000)));
        }));
        ASSERT_TRUE(blocked_in(p.pid, "pipe_write"));
        kill(p.pid, row.sig);
        err.clear();
        EXPECT_EQ(finish_program(p, &err, 5000), 128 + row.sig);
        expect_true_file(wav, chatty, 48000);
        if (!row.error_unread) {
            EXPECT_TRUE(contains(err, "\nInterrupted: played 1.000s (48000 samples @ 48 kHz).\n\n"
                                      "WARNING: Number of output samples does not match declared "
                                      "file duration.\n"))
                << row.sig << err.substr(err.size() > 300 ? err.size() - 300 : 0);
        }
    }
    for (int reader : unread_readers) {
        close(reader);
    }

    // A second signal while it is still held up by standard error cannot
    // leave the first header (exact for 2 s) behind: the run ends as the
    // first signal asked, with a true header.
    p = spawn_program({opus2wav_bin(), chatty}, "", wav);
    ASSERT_TRUE(wait_until([&] {
        return file_size(wav) == static_cast<int64_t>(44 + wav_data_bytes(samples_in_ms(1000)));
    }));
    ASSERT_TRUE(blocked_in(p.pid, "pipe_write"));
    kill(p.pid, SIGINT);
    kill(p.pid, SIGTERM);
    err.clear();
    EXPECT_EQ(finish_program(p, &err), 128 + SIGINT);
    expect_true_file(wav, chatty, 48000);
}

// Two signals close together, as a service manager (TERM, then HUP) or a
// closing terminal and an impatient user send them, or a burst of one, or a
// second signal that comes while the header is being rewritten: none may end
// the run before its header is true. The process ends by the signal it took
// first.
TEST_F(Interrupt, SeveralSignalsAtOnceLeaveATrueHeader) {
    const struct {
        std::vector<std::string> before;
        std::vector<int> signals;
    } cases[] = {
        {{}, {SIGTERM, SIGHUP}},
        {{}, {SIGTERM, SIGINT}},
        {{}, {SIGINT, SIGINT, SIGINT, SIGINT, SIGINT}},
        {failing_before("interrupt-rewind"), {SIGTERM}},
    };
    int round = 0;
    for (const auto &row : cases) {
        for (int attempt = 0; attempt < 3; attempt++) {
            std::string wav = dir + "/several" + std::to_string(round++) + ".wav";
            std::vector<std::string> args = row.before;
            args.insert(args.end(), {opus2wav_bin(), two_minutes});
            Spawned p = spawn_program(args, "", wav);
            ASSERT_TRUE(wait_until([&] { return file_size(wav) > 44 + 960000; }));
            for (int sig : row.signals) {
                kill(p.pid, sig);
            }
            std::string err;
            int status = finish_program(p, &err);
            EXPECT_TRUE(status == 128 + row.signals[0] ||
                        (row.signals.size() > 1 && status == 128 + row.signals[1]))
                << status;
            expect_true_file(wav, two_minutes);
            EXPECT_LT(file_size(wav),
                      static_cast<int64_t>(44 + wav_data_bytes(samples_in_ms(120000))))
                << "ended before the signals";
        }
    }
}

// Into a pipe nobody reads: the run is blocked in its write, with packets of
// 20, 60 and 120 ms (a block that the pipe takes only in part). Nothing can be
// rewritten; the line counts every whole frame the pipe took, and the death
// by the signal remains.
TEST_F(Interrupt, BlockedWritingIntoAFullPipe) {
    std::string sixty = dir + "/sixty.opus", long_frames = dir + "/long.opus";
    make_opus(sixty, "ms=60000 frame=60");
    make_opus(long_frames, "ms=60000 frame=120");
    int round = 0;
    for (const std::string &input : {ten, sixty, long_frames}) {
        std::string fifo = dir + "/full" + std::to_string(round++) + ".fifo";
        ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
        int reader = open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
        ASSERT_GE(reader, 0);
        Spawned p = spawn_program({opus2wav_bin(), input}, "", fifo);
        // The pipe (64 KiB) cannot take three blocks of 23040 bytes: once it
        // holds more than the header and two of them, the program is blocked.
        ASSERT_TRUE(wait_until([&] {
            int queued = 0;
            return ioctl(reader, FIONREAD, &queued) == 0 && queued > 44 + 2 * 23040;
        }));
        ASSERT_TRUE(blocked_in(p.pid, "pipe_write"));
        kill(p.pid, SIGTERM);
        std::string err;
        EXPECT_EQ(finish_program(p, &err, 3000), 128 + SIGTERM) << input << err;
        // What the pipe took, the part of the last block included, in whole
        // frames behind the header.
        int64_t received = 0;
        char buffer[65536];
        for (ssize_t n; (n = read(reader, buffer, sizeof buffer)) > 0;) {
            received += n;
        }
        close(reader);
        EXPECT_TRUE(contains(err, "\nInterrupted: played ")) << err;
        EXPECT_TRUE(contains(err, played_tail((received - 44) / 4))) << received << err;
        EXPECT_TRUE(contains(err, "Output WAV file will be corrupt.\n")) << err;
        EXPECT_FALSE(contains(err, "Error writing")) << err;
    }
}

// A link with 3000 comments, listed into a standard error that is full when
// the signal comes and then read: the listing stops at the next comment.
TEST_F(Interrupt, ALongListingOfCommentsIsCutShort) {
    std::string listed = dir + "/listed.opus", words = "ms=500";
    for (int i = 0; i < 3000; i++) {
        words += " tag=C" + std::to_string(i) + "=" + std::string(90, 'x');
    }
    // Too long for one argument of bash -c: the command goes into a script.
    write_file(dir + "/listed.sh", make_opus_bin() + " " + shell_quote(listed) + " " + words);
    ASSERT_EQ(run_shell("bash " + shell_quote(dir + "/listed.sh")).status, 0);
    Spawned p = spawn_program({opus2wav_bin(), listed}, "", dir + "/listed.wav");
    ASSERT_TRUE(blocked_in(p.pid, "pipe_write"));
    kill(p.pid, SIGTERM);
    std::string err;
    EXPECT_EQ(finish_program(p, &err, 5000), 128 + SIGTERM);
    size_t listed_lines = 0;
    for (size_t at = err.find("\n  C"); at != std::string::npos; at = err.find("\n  C", at + 1)) {
        listed_lines++;
    }
    // The pipe holds about 700 of them when the signal comes.
    EXPECT_GT(listed_lines, 100u);
    EXPECT_LT(listed_lines, 1500u) << "the listing went on after the signal";
    EXPECT_TRUE(contains(err, "\nInterrupted: played 0.000s (0 samples @ 48 kHz).\n")) << err;
}

// A pipe that is full before the program starts: the run is blocked writing
// its first header when the signal comes, and still ends as an interrupted
// run with no frames.
TEST_F(Interrupt, BlockedWritingTheFirstHeader) {
    std::string fifo = dir + "/prefilled.fifo";
    FullFifo prefilled(fifo);
    Spawned p = spawn_program({opus2wav_bin(), ten}, "", fifo);
    ASSERT_TRUE(blocked_in(p.pid, "pipe_write"));
    kill(p.pid, SIGTERM);
    std::string err;
    EXPECT_EQ(finish_program(p, &err, 3000), 128 + SIGTERM) << err;
    EXPECT_TRUE(contains(err, "\nInterrupted: played 0.000s (0 samples @ 48 kHz).\n")) << err;
}

// Under nohup SIGHUP stays ignored after a SIGTERM has been caught, also while
// the run is held up by a standard error that nobody reads, and to its very
// end.
TEST_F(Interrupt, IgnoredSignalStaysIgnoredAfterAnInterrupt) {
    std::string wav = dir + "/nohup.wav";
    Spawned p = spawn_program({"/usr/bin/nohup", opus2wav_bin(), chatty}, "", wav);
    ASSERT_TRUE(wait_until([&] {
        return file_size(wav) == static_cast<int64_t>(44 + wav_data_bytes(samples_in_ms(1000)));
    }));
    ASSERT_TRUE(blocked_in(p.pid, "pipe_write"));
    kill(p.pid, SIGTERM);
    // Handled once it is no longer pending; from then on SIGHUP every 2 ms
    // until the process has ended, its closing steps included.
    ASSERT_TRUE(wait_until(
        [&] { return contains(proc_file(p.pid, "status"), "ShdPnd:\t0000000000000000"); }));
    for (int sent = 0; sent < 2500 && !contains(proc_file(p.pid, "stat"), ") Z "); sent++) {
        kill(p.pid, SIGHUP);
        usleep(2000);
    }
    std::string err;
    EXPECT_EQ(finish_program(p, &err, 5000), 128 + SIGTERM);
    // Its closing lines went to a pipe that was full: only the header tells.
    expect_true_file(wav, chatty, 48000);
}

} // namespace
