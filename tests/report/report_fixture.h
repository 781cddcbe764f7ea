// The fixture of the report transcripts: the inputs they share, made once.
#pragma once

#include "run.h"
#include "transcript.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

class Report : public testing::Test {
  protected:
    inline static std::string dir;
    inline static std::string rich;  // two links, comments, pictures, a binary suffix
    inline static std::string rough; // a hole, a granule gap, no recorded input rate
    inline static std::vector<LinkExpectation> rich_links;

    static void SetUpTestSuite() {
        dir = make_temp_dir();
        rich = dir + "/rich.opus";
        rough = dir + "/rough.opus";
        std::string plain = dir + "/plain.opus";
        // A comment that tries to clear the screen and forge a line of ours.
        std::string evil = shell_quote("tag=EVIL=\x1b[2J\x7f\rDone: played\n");
        make_opus(plain, "ms=1500 pagems=100 tag=TITLE=One " + evil +
                             " pic=png pic=palette pic=url pic=bad -- ms=700 ch=1 rate=44100 "
                             "pagems=100 tag=ARTIST=Two pictag=metadata_block_picture pic=png");
        rewrite_ogg(plain, rich, "suffix:5");
        make_opus(dir + "/three.opus", THREE_SECONDS);
        rewrite_ogg(dir + "/three.opus", rough, "drop:10 granule-gap:20:960 input-rate:0");

        const std::string picture = "=3|image/png|Front cover|16x8x24|<33 bytes of image data>";
        rich_links = {
            {{"TITLE=One", "EVIL=?[2J??Done: played?", "METADATA_BLOCK_PICTURE" + picture,
              "METADATA_BLOCK_PICTURE=4|image/png|Back|4x2x24/2|<51 bytes of image data>",
              "METADATA_BLOCK_PICTURE=3|-->|Link|0x0x0|http://example.invalid/c.png",
              "METADATA_BLOCK_PICTURE=<error parsing picture tag>"},
             5},
            {{"ARTIST=Two", "metadata_block_picture" + picture}, -1},
        };
    }
};
