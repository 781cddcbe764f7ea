// The built program on real files and pipes: what reaches standard output,
// what standard error says, and the exit status, for runs that decode.
#include "cli_fixture.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

TEST_F(Cli, UsageLineForAnyArgumentCountButOne) {
    for (const char *args : {"", " a b", " - -", " a b c"}) {
        RunResult r = run_shell(bin() + args);
        EXPECT_EQ(r.status, 1) << args;
        EXPECT_EQ(r.err, "Usage: " + opus2wav_bin() + " <file.opus>\n") << args;
        EXPECT_EQ(r.out, "") << args;
    }
}

// Input seekable, output seekable, counts equal: exact header, never rewritten.
TEST_F(Cli, SeekableFileToFileIsExactAndBitIdentical) {
    std::string wav = out_path("two.wav");
    RunResult r = run_shell(bin() + " " + quoted(two) + " > " + quoted(wav));
    ASSERT_EQ(r.status, 0) << r.err;
    std::string pcm = reference_pcm(two);
    ASSERT_EQ(pcm.size(), wav_data_bytes(samples_in_ms(2200)));
    EXPECT_TRUE(same_bytes(read_file(wav), expected_header(105600) + pcm));
    EXPECT_TRUE(ends_with(r.err, "\nDone: played 2.200s (105600 samples @ 48 kHz).\n")) << r.err;
    EXPECT_FALSE(contains(r.err, "WARNING")) << r.err;

    // An independent reader agrees on the format and the length.
    RunResult py = run_shell("python3 -c 'import wave,sys; w=wave.open(sys.argv[1]); "
                             "print(w.getnchannels(), w.getsampwidth(), w.getframerate(), "
                             "w.getnframes())' " +
                             quoted(wav));
    EXPECT_EQ(py.out, "2 2 48000 105600\n") << py.err;
}

// Input seekable, output a pipe, counts equal: the header is exact already.
// The same under stack limits the program can live with: none, exactly the
// least it needs, or a soft limit too small for the decoders that it raises
// (up to the hard limit).
TEST_F(Cli, SeekableFileIntoPipe) {
    for (const char *limits : {"", "ulimit -s unlimited", "ulimit -s 128", "ulimit -Ss 64",
                               "ulimit -Ss 64; ulimit -Hs 200"}) {
        RunResult r = run_shell(
            into_pipe("(" + std::string(limits) + "\n" + bin() + " " + quoted(two) + ")"));
        ASSERT_EQ(r.status, 0) << limits << "\n" << r.err;
        EXPECT_TRUE(same_bytes(r.out, expected_header(105600) + reference_pcm(two))) << limits;
        EXPECT_FALSE(contains(r.err, "WARNING")) << r.err;
    }
}

// Standard input: a pipe into a file, a redirected file (which can seek), and
// a pipe into a pipe.
TEST_F(Cli, StandardInputFromPipeIntoFileGetsItsHeaderRewritten) {
    std::string wav = out_path("stdin.wav");
    RunResult r = run_shell("cat " + quoted(two) + " | " + bin() + " - > " + quoted(wav));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(same_bytes(read_file(wav), expected_header(105600) + reference_pcm(two)));
    EXPECT_FALSE(contains(r.err, "WARNING")) << r.err;
    EXPECT_FALSE(contains(r.err, "Total number of links")) << r.err;
}

// Also when the parent has read part of the file already: the input starts
// where the descriptor stands, as cat would take it.
TEST_F(Cli, StandardInputRedirectedFromFileIsSeekable) {
    RunResult r = run_shell(into_pipe(bin() + " - < " + quoted(two)));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(contains(r.err, "Total number of links: 2\n")) << r.err;
    EXPECT_TRUE(same_bytes(r.out, expected_header(105600) + reference_pcm(two)));

    std::string prefixed = out_path("prefixed.opus");
    write_file(prefixed, std::string(1000, 'J') + read_file(two));
    RunResult positioned = run_shell("{ head -c 1000 > /dev/null; " + bin() + " - | cat; } < " +
                                     quoted(prefixed) + "; exit ${PIPESTATUS[0]}");
    EXPECT_EQ(positioned.status, 0) << positioned.err;
    EXPECT_EQ(positioned.err, r.err);
    EXPECT_TRUE(same_bytes(positioned.out, r.out));
}

TEST_F(Cli, PipeIntoPipeWarnsFirstAndKeepsPlaceholders) {
    RunResult r =
        run_shell("cat " + quoted(two) + " | " + bin() + " - | cat; exit ${PIPESTATUS[1]}");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err.rfind(NEITHER_SEEKABLE, 0), 0u) << r.err;
    EXPECT_FALSE(contains(r.err, LENGTH_WARNING));
    EXPECT_TRUE(same_bytes(r.out, expected_header(0) + reference_pcm(two)));
}

// Runs that write no frames: a file output is left with the exact header of
// an empty file (not the placeholders, which readers take for 3 hours); a
// pipe keeps the placeholders.
TEST_F(Cli, RunsWithoutFramesLeaveAnExactEmptyHeader) {
    // 20 ms whose end trim removes every sample: opens, decodes nothing.
    std::string empty_audio = out_path("no_frames.opus");
    rewrite_ogg(twenty_ms, empty_audio, "granule-add:-960");
    std::string wav = out_path("none.wav");
    for (const std::string &in : {"- < <(cat " + quoted(empty_audio) + ")", quoted(empty_audio)}) {
        RunResult r = run_shell(bin() + " " + in + " > " + quoted(wav));
        ASSERT_EQ(r.status, 0) << in << "\n" << r.err;
        EXPECT_TRUE(same_bytes(read_file(wav), expected_final_header(0))) << in;
        EXPECT_TRUE(contains(r.err, "\nDone: played 0.000s (0 samples @ 48 kHz).\n")) << r.err;
    }

    // The same through a pipe into a pipe: the warnings first, the placeholders.
    RunResult r =
        run_shell("cat " + quoted(empty_audio) + " | " + bin() + " - | cat; exit ${PIPESTATUS[1]}");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err.rfind(NEITHER_SEEKABLE, 0), 0u) << r.err;
    EXPECT_TRUE(same_bytes(r.out, expected_header(0)));
    EXPECT_FALSE(contains(r.err, LENGTH_WARNING));
}

// Input seekable, counts differ (a page is missing): a file output gets the
// warning and a rewritten header, a pipe gets the warning and the corrupt
// notice with the declared header; both exit 0.
TEST_F(Cli, HoleMakesCountsDifferIntoFile) {
    std::string wav = out_path("holey.wav");
    RunResult r = run_shell(bin() + " " + quoted(holey) + " > " + quoted(wav));
    ASSERT_EQ(r.status, 0) << r.err;
    std::string pcm = reference_pcm(holey);
    ASSERT_LT(pcm.size(), 144000u * 4);
    EXPECT_TRUE(
        same_bytes(read_file(wav), expected_header(static_cast<int64_t>(pcm.size() / 4)) + pcm));
    EXPECT_TRUE(contains(r.err, "\nHole detected! Corrupt file segment?\n")) << r.err;
    EXPECT_TRUE(ends_with(r.err, " samples @ 48 kHz).\n" + closing_lines(length_warning_only())))
        << r.err;
}

TEST_F(Cli, HoleMakesCountsDifferIntoPipe) {
    RunResult r = run_shell(into_pipe(bin() + " " + quoted(holey)));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(same_bytes(r.out, expected_header(144000) + reference_pcm(holey)));
    ClosingLines closing = length_warning_only();
    closing.corrupt = true;
    EXPECT_TRUE(ends_with(r.err, closing_lines(closing))) << r.err;
}

// A decoding error keeps what was written, prints no summary and exits 1;
// an unseekable input into a file still gets its header rewritten.
TEST_F(Cli, DecodingErrorKeepsWhatWasDecoded) {
    std::string wav = out_path("badlink.wav");
    RunResult r = run_shell("cat " + quoted(badlink) + " | " + bin() + " - > " + quoted(wav));
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(contains(r.err, "\nError decoding '-': -")) << r.err;
    EXPECT_FALSE(contains(r.err, "Done: played")) << r.err;
    EXPECT_FALSE(contains(r.err, "Possible truncation attack?")) << r.err;
    std::string first_link = reference_pcm(two).substr(0, wav_data_bytes(samples_in_ms(1500)));
    EXPECT_TRUE(same_bytes(read_file(wav), expected_header(72000) + first_link));
}

TEST_F(Cli, RewriteGoesWhereTheHeaderWasWritten) {
    std::string wav = out_path("prefixed.wav");
    RunResult r = run_shell("{ printf PRE; cat " + quoted(twenty_ms) + " | " + bin() + " -; } > " +
                            quoted(wav));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(
        same_bytes(read_file(wav), "PRE" + expected_header(960) + reference_pcm(twenty_ms)));
}

TEST_F(Cli, AppendModeOutputCountsAsUnseekable) {
    std::string wav = out_path("appended.wav");
    write_file(wav, "OLD");
    RunResult r = run_shell("cat " + quoted(twenty_ms) + " | " + bin() + " - >> " + quoted(wav));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err.rfind(NEITHER_SEEKABLE, 0), 0u) << r.err;
    EXPECT_TRUE(same_bytes(read_file(wav), "OLD" + expected_header(0) + reference_pcm(twenty_ms)));
}

// More than 536870902 frames (3 h 6 min) from a pipe into a seekable output:
// the header rewritten at the end cannot hold the sizes, and says so after
// the summary. The input is 10 min of silence played 19 times over; the
// output is /dev/null, which seeks, so no 2 GB are written. A slow test: the
// decode alone takes about 20 s.
TEST(SlowOutput, TwoGigabyteLinesAfterTheRewrite) {
    std::string dir = make_temp_dir();
    make_opus(dir + "/ten_minutes.opus", "ms=600000 signal=silence frame=120 ch=1 bitrate=6000");
    rewrite_ogg(dir + "/ten_minutes.opus", dir + "/long.opus", "repeat:19");
    RunResult r =
        run_shell("cat " + shell_quote(dir + "/long.opus") + " | " + bin() + " - > /dev/null");
    EXPECT_EQ(r.status, 0) << r.err;
    ClosingLines closing;
    closing.wav_limit = true;
    EXPECT_TRUE(ends_with(r.err, "\nDone: played 3h10m00.360s (547217280 samples @ 48 kHz).\n" +
                                     closing_lines(closing)))
        << r.err.substr(r.err.size() > 300 ? r.err.size() - 300 : 0);
}

} // namespace
