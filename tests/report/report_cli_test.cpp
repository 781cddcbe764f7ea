// Whole standard-error transcripts of real runs, compared byte for byte with
// text composed from libopusfile's own view of the input and the documented
// formats; network inputs come from loopback servers started here.
#include "report_fixture.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST_F(Report, SeekableChainWithPicturesIntoFile) {
    RunResult r = run_shell(bin() + " " + shell_quote(rich) + " > " + shell_quote(dir + "/a.wav"));
    ASSERT_EQ(r.status, 0);
    TranscriptInput in{
        opus_events(rich, false), opus_facts(rich), true, rich, false, rich_links, {}};
    EXPECT_EQ(r.err, compose_transcript(in));
}

TEST_F(Report, SameChainFromAPipe) {
    RunResult r = run_shell("cat " + shell_quote(rich) + " | " + bin() + " - > " +
                            shell_quote(dir + "/b.wav"));
    ASSERT_EQ(r.status, 0);
    TranscriptInput in{
        opus_events(rich, true), opus_facts(rich), false, "-", false, rich_links, {}};
    EXPECT_EQ(r.err, compose_transcript(in));
}

TEST_F(Report, ThreeLinksWithDifferentChannelCounts) {
    std::string f = dir + "/three_links.opus";
    make_opus(f, "ms=400 tag=N=1 -- ms=300 ch=1 tag=N=2 -- ms=200 ch=6 tag=N=3");
    std::vector<LinkExpectation> links = {{{"N=1"}, -1}, {{"N=2"}, -1}, {{"N=3"}, -1}};
    for (bool through_pipe : {false, true}) {
        std::string input = through_pipe ? "- < <(cat " + shell_quote(f) + ")" : shell_quote(f);
        RunResult r = run_shell(bin() + " " + input + " > " + shell_quote(dir + "/three.wav"));
        ASSERT_EQ(r.status, 0);
        TranscriptInput in{opus_events(f, through_pipe),
                           opus_facts(f),
                           !through_pipe,
                           through_pipe ? "-" : f,
                           false,
                           links,
                           {}};
        EXPECT_EQ(r.err, compose_transcript(in)) << (through_pipe ? "pipe" : "file");
        if (!through_pipe) {
            EXPECT_EQ(r.err.rfind("Total number of links: 3\n", 0), 0u);
        }
    }
}

TEST_F(Report, HoleGapAndUnknownInputRate) {
    RunResult r = run_shell(bin() + " " + shell_quote(rough) + " > " + shell_quote(dir + "/c.wav"));
    ASSERT_EQ(r.status, 0);
    std::string ev = opus_events(rough, false);
    ASSERT_NE(ev.find("hole"), std::string::npos) << ev;
    ASSERT_NE(ev.find("gap"), std::string::npos) << ev;
    TranscriptInput in{ev, opus_facts(rough), true, rough, false, {}, length_warning_only()};
    EXPECT_EQ(r.err, compose_transcript(in));
    EXPECT_EQ(r.err.find("Original sampling rate"), std::string::npos);
}

// Positions no encoder writes. A link laid out from -250 with 2.5 ms packets
// starts its audio before zero: the first 48 samples after the pre-skip of
// 312 are reported as a start at -48. A jump back of 0.3 s, to before the
// last progress line, is a gap that is due no line. Two jumps of a second at
// the last two packets put a progress line on the empty read at the end,
// where the decoder has no new bitrate: the last one is shown again. A jump
// of an hour, in a file, shows durations with hours, pinned here as
// literals so that a fault in the formats shows end to end.
TEST_F(Report, CraftedPositions) {
    std::string short_packets = dir + "/short_packets.opus", negative = dir + "/negative.opus";
    make_opus(short_packets, "ms=500 pagems=5 frame=2.5 -- ms=500 pagems=5 frame=2.5");
    rewrite_ogg(short_packets, negative, "granule-from:1:-250");
    std::string source = dir + "/jumps_source.opus", jumps = dir + "/jumps.opus";
    make_opus(source, "ms=1500 pagems=20");
    std::string bytes = read_file(source);
    int pages = 0;
    for (size_t at = bytes.find("OggS"); at != std::string::npos; at = bytes.find("OggS", at + 1)) {
        pages++;
    }
    rewrite_ogg(source, jumps,
                "granule-gap:60:-14400 granule-gap:" + std::to_string(pages - 2) +
                    ":48000 granule-gap:" + std::to_string(pages - 1) + ":48000");
    RunResult r = run_shell("cat " + shell_quote(negative) + " | " + bin() + " - > /dev/null");
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(contains(r.err, "  Encoded by: libopus")) << r.err.substr(0, 600);
    EXPECT_TRUE(contains(r.err, "\n\nNon-zero starting PCM offset in link 1: -48\n\r "))
        << r.err.substr(0, 600);

    r = run_shell("cat " + shell_quote(jumps) + " | " + bin() + " - > /dev/null");
    ASSERT_EQ(r.status, 0);
    TranscriptInput in{opus_events(jumps, true), opus_facts(jumps), false, "-", false, {}, {}};
    EXPECT_EQ(r.err, compose_transcript(in));
    std::vector<std::string> bitrates;
    for (size_t end = r.err.find("bps)"); end != std::string::npos;
         end = r.err.find("bps)", end + 1)) {
        size_t open = r.err.rfind('(', end);
        bitrates.push_back(r.err.substr(open, end - open));
    }
    ASSERT_GE(bitrates.size(), 3u) << r.err;
    EXPECT_EQ(bitrates.back(), bitrates[bitrates.size() - 2]);
    EXPECT_NE(bitrates.back(), "(0  ");

    std::string half_second = dir + "/half_second.opus", hour = dir + "/hour.opus";
    make_opus(half_second, "ms=500 pagems=20");
    rewrite_ogg(half_second, hour, "granule-gap:20:172800000");
    // 9604 bytes with Debian 12's libopus and libopusenc: 9.379 KiB.
    ASSERT_EQ(file_size(hour), 9604);
    r = run_shell(bin() + " " + shell_quote(hour) + " > /dev/null");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err.rfind("Total number of links: 1\n"
                          "Total duration: 1h00m00.500s (172824000 samples @ 48 kHz)\n"
                          "Total size: 9.38k\n",
                          0),
              0u)
        << r.err.substr(0, 300);
    EXPECT_TRUE(contains(r.err, "  1h00m00s  (")) << r.err;
    EXPECT_TRUE(contains(r.err, "\nDone: played 0.500s (24000 samples @ 48 kHz).\n")) << r.err;
}

// Progress lines come at the first block that starts a second or more after
// the last line: with 120 ms blocks at 0, 51840 and 103680; the empty read at
// the end can print one too.
TEST_F(Report, ProgressLinePlacement) {
    // 120 ms packets, no pre-skip and an end trim to 27 whole blocks, so that
    // every read returns a whole block of 5760 frames.
    std::string f = dir + "/blocks120.opus";
    make_opus(dir + "/raw120.opus", "ms=3240 frame=120");
    rewrite_ogg(dir + "/raw120.opus", f, "pre-skip:0 granule-gap:-1:-312");
    std::string ev = opus_events(f, false);
    std::string progress_offsets;
    for (size_t at = ev.find("progress"); at != std::string::npos;
         at = ev.find("progress", at + 1)) {
        size_t eol = ev.find('\n', at);
        std::string line = ev.substr(at, eol - at);
        progress_offsets += line.substr(line.rfind(' ') + 1) + " ";
    }
    EXPECT_EQ(progress_offsets, "0 51840 103680 155520 ");
    EXPECT_NE(ev.find("155520\nend 155520"), std::string::npos) << ev;

    RunResult r = run_shell(bin() + " " + shell_quote(f) + " > " + shell_quote(dir + "/d.wav"));
    ASSERT_EQ(r.status, 0);
    TranscriptInput in{ev, opus_facts(f), true, f, false, {}, {}};
    EXPECT_EQ(r.err, compose_transcript(in));
}

struct StationCase {
    std::string headers;  // --header options for the server
    std::string expected; // the station block before Server and Content-Type
};

TEST_F(Report, LiveStreamWithStationHeaders) {
    const StationCase cases[] = {
        {"--header 'icy-name: Test FM' --header 'icy-description: All tests' "
         "--header 'icy-genre: Noise' --header 'icy-url: http://fm.example' "
         "--header 'icy-br: 128' --header 'icy-pub: 1'",
         "Station name: Test FM\nStation description: All tests\nStation genre: Noise\n"
         "Station homepage: http://fm.example\nStation bitrate: 128 kbps\nStation is public.\n"},
        {"--header 'ice-name: ' --header 'ice-description: ' --header 'ice-genre: ' "
         "--header 'ice-url: ' --header 'ice-bitrate: 0' --header 'ice-public: 0'",
         "Station name: \nStation description: \nStation genre: \nStation homepage: \n"
         "Station bitrate: 0 kbps\nStation is private.\n"},
        {"--header 'icy-pub: 0'", "Station is private.\n"},
        {"", ""},
    };
    std::string f = dir + "/live.opus";
    make_opus(f, "ms=2500 pagems=100 tag=TITLE=Live");
    std::string ev = opus_events(f, true);
    TranscriptInput in{ev, opus_facts(f), false, "", false, {{{"TITLE=Live"}, -1}}, {}};
    for (const StationCase &c : cases) {
        TestServer server(shell_quote(f) + " --live " + c.headers);
        std::string url = "http://127.0.0.1:" + std::to_string(server.port) + "/live.opus";
        RunResult r = run_shell(bin() + " " + url + " | cat; exit ${PIPESTATUS[0]}");
        EXPECT_EQ(r.status, 0) << c.headers;
        in.input_name = url;
        EXPECT_EQ(r.err, c.expected +
                             "Server software: o2w-test-server/1.0\nContent-Type: audio/ogg\n" +
                             NEITHER_SEEKABLE + compose_transcript(in))
            << c.headers;
        EXPECT_TRUE(same_bytes(r.out, expected_header(0) + reference_pcm(f))) << c.headers;
    }
}

// A comment, the vendor string and station headers that try to steer the
// terminal: C1 controls (CSI, OSC), bidirectional overrides and isolates, a
// line separator and bytes that are not UTF-8 each show as one "?"; the rest,
// accents and emoji included, prints as it is.
TEST_F(Report, HostileTextFromStreamAndServer) {
    std::string raw = dir + "/hostile_raw.opus";
    std::string f = dir + "/hostile.opus";
    make_opus(raw,
              "ms=600 pagems=100 " + shell_quote("tag=NOTE=\xC2\x9B"
                                                 "2J\xE2\x80\xAEtxt\xE2\x81\xA6\xE2\x80\xA8\x9B"
                                                 "31m\xC3\xA9\xF0\x9F\x8E\xB5\x1B]0;x\x07"));
    std::string vendor = "evil\xC2\x9D"
                         "8;;http://x\x07 vendor\xE2\x80\xAE\xED\xA0\x80";
    std::string hex;
    for (unsigned char c : vendor) {
        const char digits[] = "0123456789abcdef";
        hex += digits[c >> 4];
        hex += digits[c & 15];
    }
    rewrite_ogg(raw, f, "vendor:" + hex);

    TestServer server(shell_quote(f) + " --live --header " +
                      shell_quote("icy-name: Bad\xC2\x9B"
                                  "2J FM") +
                      " --header " + shell_quote("icy-description: \xE2\x80\xAEreversed"));
    std::string url = "http://127.0.0.1:" + std::to_string(server.port) + "/live.opus";
    RunResult r = run_shell(bin() + " " + url + " | cat; exit ${PIPESTATUS[0]}");
    ASSERT_EQ(r.status, 0) << r.err;
    TranscriptInput in{opus_events(f, true),
                       opus_facts(f),
                       false,
                       url,
                       false,
                       {{{"NOTE=?2J?txt???31m\xC3\xA9\xF0\x9F\x8E\xB5?]0;x?"}, -1}},
                       {}};
    in.facts["link0.vendor"] = "evil?8;;http://x? vendor????";
    EXPECT_EQ(r.err, "Station name: Bad?2J FM\nStation description: ?reversed\n"
                     "Server software: o2w-test-server/1.0\nContent-Type: audio/ogg\n" +
                         std::string(NEITHER_SEEKABLE) + compose_transcript(in));
}

TEST_F(Report, SeekableHttpSourceDecodesLikeTheFile) {
    TestServer server(shell_quote(rich));
    std::string url = "http://127.0.0.1:" + std::to_string(server.port) + "/rich.opus";
    std::string wav = dir + "/http.wav";
    RunResult r = run_shell(bin() + " " + url + " > " + shell_quote(wav));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(same_bytes(read_file(wav), expected_header(105600) + reference_pcm(rich)));
    TranscriptInput in{
        opus_events(rich, false), opus_facts(rich), true, url, false, rich_links, {}};
    EXPECT_EQ(r.err, "Server software: o2w-test-server/1.0\nContent-Type: audio/ogg\n" +
                         compose_transcript(in));
}

} // namespace
