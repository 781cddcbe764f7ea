// The built program when its output fails or is refused: every failed write
// reported where it failed, a header that stays true, nothing reused or
// overwritten that should not be.
#include "cli_fixture.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

// Every failed write is reported at the write that failed, with the system's
// text and exit status 1; none is a crash and none ends with a summary. The
// same for the runs refused before anything is written: an output that is
// the input (which is left as it was, status 3 if not), and a stack too
// small for the decoders.
TEST_F(Cli, WriteFailures) {
    std::string victim = quoted(out_path("victim.opus"));
    // A copy of the input as file (in dir, where command runs), which
    // command must leave as it was (status 3 if not).
    auto over = [&](const std::string &file, const std::string &command) {
        return "cd " + quoted(dir) + " && cp " + quoted(two) + " " + file + " && (" + command +
               "); s=$?; cmp -s " + file + " " + quoted(two) + " || s=3; exit $s";
    };
    std::string over_input = "Not writing WAV data over the input: standard output is the file '";
    struct Case {
        std::string script;
        std::string message;
    } cases[] = {
        {bin() + " " + quoted(twenty_ms) + " > /dev/full",
         "Error writing WAV header: No space left on device\n"},
        {bin() + " " + quoted(two) + " > /dev/full",
         "Error writing WAV header: No space left on device\n"},
        {bin() + " " + quoted(twenty_ms) + " >&-",
         "Error writing WAV header: Bad file descriptor\n"},
        {"cat " + quoted(two) + " | " + bin() + " - >&-",
         "Error writing WAV header: Bad file descriptor\n"},
        {bin() + " " + quoted(two) + " | head -c 100 > /dev/null; exit ${PIPESTATUS[0]}",
         "\nError writing decoded audio data: Broken pipe\n"},
        // A header that only partly fits leaves the file as it was (status 3
        // if not), appended to or written where the parent left the offset.
        {"f=" + quoted(out_path("part.wav")) + "; printf %1000s x > $f; (ulimit -Sf 1; " + bin() +
             " " + quoted(two) + " >> $f); s=$?; [ $(stat -c %s $f) = 1000 ] || s=3; exit $s",
         "Error writing WAV header: File too large\n"},
        {"f=" + quoted(out_path("part.wav")) +
             "; printf %1000s x > $f; (ulimit -Sf 1; exec 1<> $f; " +
             "head -c 1000 <&1 > /dev/null; " + bin() + " " + quoted(two) +
             "; s=$?; printf END; exit $s); s=$?; " +
             "[ \"$(cat $f)\" = \"$(printf %1000sEND x)\" ] || s=3; exit $s",
         "Error writing WAV header: File too large\n"},
        {over("victim.opus", bin() + " " + victim + " >> " + victim), over_input},
        {over("victim.opus", bin() + " " + victim + " 1<> " + victim), over_input},
        {over("victim.opus", bin() + " - < " + victim + " >> " + victim),
         over_input + "-' itself.\n"},
        // The same file named by a file: URL, which the URL library opens.
        {over("victim.opus", bin() + " file:victim.opus 1<> victim.opus"),
         over_input + "file:victim.opus' itself.\n"},
        {over("victim.opus", bin() + " FILE:" + victim + " >> " + victim), over_input},
        {over("victim.opus", bin() + " file://" + victim + " >> " + victim), over_input},
        // libopusurl reads "%69" as "i69".
        {over("victi69m.opus", bin() + " file:vict%69m.opus >> victi69m.opus"), over_input},
        {over("vO4F.opus", bin() + " file:v%4F.opus >> vO4F.opus"), over_input},
        {over("victim.opus", bin() + " file://localhost" + victim + " 1<> " + victim), over_input},
        {"(ulimit -s 100; " + bin() + " " + quoted(two) + " > /dev/null)",
         "Not enough stack: the limit is 100 KiB, at least 128 KiB are needed.\n"},
    };
    for (const Case &c : cases) {
        RunResult r = run_shell(c.script);
        EXPECT_EQ(r.status, 1) << c.script << "\n" << r.err;
        EXPECT_TRUE(contains(r.err, c.message)) << c.script << "\n" << r.err;
        EXPECT_EQ(r.err.find("Error"), r.err.rfind("Error")) << "one fault, one line\n" << r.err;
        EXPECT_FALSE(contains(r.err, "Done: played")) << c.script;
    }
}

// An output that takes the whole decode but cannot be rewound for the header
// rewrite: the summary, then the error, and status 1.
TEST_F(Cli, FailedHeaderRewrite) {
    std::string wav = out_path("unrewound.wav");
    RunResult r = run_shell("cat " + quoted(two) + " | " + failing_calls("rewind") + bin() +
                            " - > " + quoted(wav));
    EXPECT_EQ(r.status, 1) << r.err;
    ClosingLines closing;
    closing.rewrite_error = "Input/output error";
    EXPECT_TRUE(ends_with(r.err, " samples @ 48 kHz).\n" + closing_lines(closing))) << r.err;
    EXPECT_TRUE(same_bytes(read_file(wav), expected_header(0) + reference_pcm(two)));
}

// A soft file size limit (bash counts it in KiB) stops the run inside a block,
// at a block boundary or not. The file holds exactly the limit; the header counts
// the whole frames behind it and never more, whether the input could seek.
TEST_F(Cli, FileSizeLimitLeavesATrueHeader) {
    std::string pcm = reference_pcm(two);
    std::string wav = out_path("limited.wav");
    for (int blocks : {1, 64, 101}) {
        for (const std::string &in : {quoted(two), "- < <(cat " + quoted(two) + ")"}) {
            // With bytes before the header, the frames count from the header
            // on, and the partial frame at the end does not count.
            for (std::string pre : {"", "PRE"}) {
                std::string script = "ulimit -Sf " + std::to_string(blocks) + "; { printf '" + pre +
                                     "'; " + bin() + " " + in + "; } > " + quoted(wav);
                RunResult r = run_shell(script);
                EXPECT_EQ(r.status, 1) << script << "\n" << r.err;
                EXPECT_TRUE(contains(r.err, "\nError writing decoded audio data: File too large\n"))
                    << script << "\n"
                    << r.err;
                std::string bytes = read_file(wav);
                ASSERT_EQ(bytes.size(), static_cast<size_t>(1024 * blocks)) << script;
                ASSERT_EQ(bytes.substr(0, pre.size()), pre);
                bytes.erase(0, pre.size());
                int64_t frames = static_cast<int64_t>((bytes.size() - 44) / 4);
                EXPECT_TRUE(same_bytes(bytes.substr(0, 44), expected_final_header(frames)))
                    << script;
                EXPECT_TRUE(same_bytes(bytes.substr(44), pcm.substr(0, bytes.size() - 44)))
                    << script;
            }
        }
    }
}

// A closed standard input or standard error: the input file, or a URL's
// socket, opened later must neither fail nor take their place, so nothing
// meant for a person reaches the server and the WAV is whole.
TEST_F(Cli, ClosedStandardStreamsAreNotReused) {
    std::string record = out_path("not_requests.txt");
    TestServer server(quoted(two) + " --record " + quoted(record));
    std::string url = "http://127.0.0.1:" + std::to_string(server.port) + "/two.opus";
    std::string wav = out_path("closed.wav");
    for (const std::string &input : {quoted(two), url}) {
        for (const char *closed : {"2>&-", "<&-", "<&- 2>&-"}) {
            RunResult r = run_shell(bin() + " " + input + " > " + quoted(wav) + " " + closed);
            EXPECT_EQ(r.status, 0) << input << " " << closed << "\n" << r.err;
            EXPECT_TRUE(same_bytes(read_file(wav), expected_header(105600) + reference_pcm(two)))
                << input << " " << closed;
        }
    }
    EXPECT_EQ(file_size(record), -1) << read_file(record);
}

// Standard output on a terminal (a pseudo-terminal here): refused before
// anything is opened or read. A server that never answers and a pipe that is
// never fed would hold the run if it tried.
TEST_F(Cli, RefusesToWriteToATerminal) {
    int terminal = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(terminal, 0);
    ASSERT_EQ(grantpt(terminal), 0);
    ASSERT_EQ(unlockpt(terminal), 0);
    std::string tty = ptsname(terminal);
    TestServer silent(quoted(twenty_ms) + " --silent");
    std::string url = "http://127.0.0.1:" + std::to_string(silent.port) + "/a.opus";
    struct Case {
        std::vector<std::string> args;
        std::string input;
    } cases[] = {{{opus2wav_bin(), twenty_ms}, ""},
                 {{opus2wav_bin(), url}, ""},
                 {{opus2wav_bin(), "-"}, "|"}};
    for (const Case &c : cases) {
        Spawned p = spawn_program(c.args, c.input, tty);
        std::string err;
        EXPECT_EQ(finish_program(p, &err, 5000), 1) << c.args[1];
        EXPECT_EQ(err, "Not writing WAV data to a terminal: redirect standard output to a file or "
                       "a pipe.\n")
            << c.args[1];
    }
    // The argument check comes first.
    Spawned p = spawn_program({opus2wav_bin()}, "", tty);
    std::string err;
    EXPECT_EQ(finish_program(p, &err, 5000), 1);
    EXPECT_EQ(err, "Usage: " + opus2wav_bin() + " <file.opus>\n");
    close(terminal);
}

} // namespace
