// An input that was cut short, or has bytes after its last page, is named on
// the last line of the run; a whole one, an interrupted run and a failed one
// are not. The same bytes get the same verdict from a file, a pipe and a
// FIFO; every cut position is judged in-process (tests/input).
#include "run.h"
#include "transcript.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const std::string CUT_WARNING = closing_lines(cut_short_only());

struct CutRow {
    const char *name;
    const char *input;   // a file made in SetUp
    const char *command; // @IN@ the input, @BIN@ the program, @WAV@ the output file
    bool warned;
    int status;
};

TEST(CutInput, NamedOnlyWhenTheInputDoesNotEndWithAWholePage) {
    std::string dir = make_temp_dir();
    make_opus(dir + "/whole.opus", "ms=3000 pagems=200");
    make_opus(dir + "/two.opus", "ms=1500 pagems=200 -- ms=1500 ch=1 pagems=200");
    rewrite_ogg(dir + "/whole.opus", dir + "/no_eos.opus", "no-eos");
    rewrite_ogg(dir + "/whole.opus", dir + "/padded.opus", "pad:3000");
    rewrite_ogg(dir + "/whole.opus", dir + "/mux.opus", "mux");
    std::string whole = read_file(dir + "/whole.opus");
    std::string two = read_file(dir + "/two.opus");
    write_file(dir + "/half.opus", whole.substr(0, whole.size() / 2));
    write_file(dir + "/prefixed_half.opus", "XYZ" + whole.substr(0, whole.size() / 2));
    write_file(dir + "/second_cut.opus", two.substr(0, two.size() * 3 / 4));
    // An unfinished download whose last bytes are still zeros; a last page
    // whose body is zeros; a copy of the last page with a wrong checksum after it.
    size_t last_page = whole.rfind("OggS");
    size_t last_body = last_page + 27 + static_cast<unsigned char>(whole[last_page + 26]);
    std::string bad_page = whole.substr(last_page);
    bad_page.back() ^= 1;
    write_file(dir + "/zeroed_tail.opus",
               whole.substr(0, whole.size() - 100) + std::string(100, '\0'));
    write_file(dir + "/zeroed_body.opus",
               whole.substr(0, last_body) + std::string(whole.size() - last_body, '\0'));
    write_file(dir + "/bad_page.opus", whole + bad_page);
    // The interrupted capture: the cut input comes through a pipe that stays
    // open; once all of it was read and audio was written, the run waits for
    // more and gets SIGTERM (SIGINT stays ignored in a background job of a script).
    const char *interrupted =
        "@BIN@ - < <(cat @IN@; exec sleep 10) > @WAV@ & p=$!; "
        "until [ \"$(stat -c %s @WAV@)\" -gt 44 ] && grep -q pipe_read /proc/$p/wchan; "
        "do sleep 0.01; done; kill -TERM $p; wait $p";

    const char *fifo = "f=@WAV@.fifo; rm -f $f; mkfifo $f; cat @IN@ > $f & @BIN@ $f > @WAV@";
    const CutRow rows[] = {
        {"whole file", "whole", "@BIN@ @IN@ > @WAV@", false, 0},
        {"whole, through a pipe", "whole", "@BIN@ - < <(cat @IN@) > @WAV@", false, 0},
        {"cut, file", "half", "@BIN@ @IN@ > @WAV@", true, 0},
        {"cut, pipe", "half", "@BIN@ - < <(cat @IN@) | cat > @WAV@", true, 0},
        {"cut, positioned standard input", "prefixed_half",
         "{ head -c 3 > /dev/null; @BIN@ - > @WAV@; } < @IN@", true, 0},
        {"no end-of-stream flag, file", "no_eos", "@BIN@ @IN@ > @WAV@", false, 0},
        {"no end-of-stream flag, pipe", "no_eos", "@BIN@ - < <(cat @IN@) > @WAV@", false, 0},
        {"zero padding, file", "padded", "@BIN@ @IN@ > @WAV@", true, 0},
        {"zero padding, pipe", "padded", "@BIN@ - < <(cat @IN@) > @WAV@", true, 0},
        {"zeroed tail, file", "zeroed_tail", "@BIN@ @IN@ > @WAV@", true, 0},
        {"zeroed tail, pipe", "zeroed_tail", "@BIN@ - < <(cat @IN@) > @WAV@", true, 0},
        {"zeroed last body, file", "zeroed_body", "@BIN@ @IN@ > @WAV@", true, 0},
        {"zeroed last body, pipe", "zeroed_body", "@BIN@ - < <(cat @IN@) > @WAV@", true, 0},
        {"a page with a wrong checksum after, file", "bad_page", "@BIN@ @IN@ > @WAV@", true, 0},
        {"a page with a wrong checksum after, pipe", "bad_page", "@BIN@ - < <(cat @IN@) > @WAV@",
         true, 0},
        {"chain cut in its second link, file", "second_cut", "@BIN@ @IN@ > @WAV@", true, 0},
        {"chain cut in its second link, pipe", "second_cut", "@BIN@ - < <(cat @IN@) > @WAV@", true,
         0},
        {"another stream's pages around, file", "mux", "@BIN@ @IN@ > @WAV@", false, 0},
        {"another stream's pages around, pipe", "mux", "@BIN@ - < <(cat @IN@) > @WAV@", false, 0},
        // A FIFO named as the input: read as a pipe is, judged the same.
        {"whole, FIFO", "whole", fifo, false, 0},
        {"cut, FIFO", "half", fifo, true, 0},
        {"zeroed tail, FIFO", "zeroed_tail", fifo, true, 0},
        {"cut, write error", "half", "@BIN@ @IN@ > /dev/full", false, 1},
        {"cut, interrupted capture", "half", interrupted, false, 128 + 15},
    };
    for (const CutRow &row : rows) {
        std::string in = dir + "/" + row.input + ".opus";
        std::string wav = dir + "/out.wav";
        std::string script = row.command;
        for (const auto &[word, value] :
             {std::pair<std::string, std::string>{"@BIN@", opus2wav_bin()},
              {"@IN@", in},
              {"@WAV@", wav}}) {
            for (size_t at = script.find(word); at != std::string::npos;
                 at = script.find(word, at + 1)) {
                script.replace(at, word.size(), shell_quote(value));
            }
        }
        RunResult r = run_shell(script);
        EXPECT_EQ(r.status, row.status) << row.name << "\n" << r.err;
        size_t at = r.err.find(CUT_WARNING);
        if (row.warned) {
            // The last line of the run, after the summary.
            EXPECT_EQ(at, r.err.size() - CUT_WARNING.size()) << row.name << "\n" << r.err;
            EXPECT_TRUE(contains(r.err, " samples @ 48 kHz).\n" + CUT_WARNING)) << row.name;
        } else {
            EXPECT_EQ(at, std::string::npos) << row.name << "\n" << r.err;
        }
    }
}

// A chain of three links cut inside its last link (in its header page, its
// tags, its first audio page, a later page) or cut there and zeroed to its
// full length, as a preallocated download leaves it: as a file and through
// a pipe, every complete link and what the library can decode of the cut
// one, the same bytes, the cut named last and status 0.
TEST(CutInput, ChainCutInALaterLinkKeepsEveryCompleteLink) {
    std::string dir = make_temp_dir();
    make_opus(dir + "/chain.opus", "ms=2000 -- ms=1500 ch=1 pagems=200 -- ms=2500 ch=6 pagems=200");
    std::string chain = read_file(dir + "/chain.opus");
    // The pages of the third link: its header page, tags, first audio page.
    size_t third = chain.find("OggS");
    for (int links = 0; links < 3; third = chain.find("OggS", third + 1)) {
        links += (chain[third + 5] & 2) != 0;
        if (links == 3) {
            break;
        }
    }
    size_t tags = chain.find("OggS", third + 1), audio = chain.find("OggS", tags + 1);
    std::string first_links =
        reference_pcm(dir + "/chain.opus").substr(0, wav_data_bytes(samples_in_ms(2000 + 1500)));
    const struct {
        const char *name;
        std::string bytes;
    } rows[] = {
        {"cut in its header page", chain.substr(0, third + 20)},
        {"cut in its tags", chain.substr(0, tags + 30)},
        {"cut in its first audio page", chain.substr(0, audio + 40)},
        {"cut in a later page", chain.substr(0, chain.size() - 500)},
        {"cut and zeroed to its length",
         chain.substr(0, audio + 40) + std::string(chain.size() - audio - 40, '\0')},
    };
    for (const auto &row : rows) {
        write_file(dir + "/cut.opus", row.bytes);
        std::string out[2];
        for (int piped = 0; piped < 2; piped++) {
            std::string wav = dir + "/out" + std::to_string(piped) + ".wav";
            RunResult r =
                run_shell((piped ? "cat " + shell_quote(dir + "/cut.opus") + " | " + bin() + " -"
                                 : bin() + " " + shell_quote(dir + "/cut.opus")) +
                          " > " + shell_quote(wav));
            EXPECT_EQ(r.status, 0) << row.name << (piped ? ", pipe\n" : ", file\n") << r.err;
            EXPECT_TRUE(contains(r.err, " samples @ 48 kHz).\n" + CUT_WARNING) &&
                        r.err.rfind(CUT_WARNING) + CUT_WARNING.size() == r.err.size())
                << row.name << "\n"
                << r.err;
            out[piped] = read_file(wav);
        }
        EXPECT_TRUE(same_bytes(out[0], out[1])) << row.name;
        EXPECT_TRUE(same_bytes(out[0].substr(44, first_links.size()), first_links)) << row.name;
    }
}

} // namespace
