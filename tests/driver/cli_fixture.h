// The fixture of the tests that run the built program on real files and
// pipes: the inputs they share, made once for the suite.
#pragma once

#include "run.h"
#include "transcript.h"

#include <gtest/gtest.h>

#include <string>

class Cli : public testing::Test {
  protected:
    inline static std::string dir;
    inline static std::string two;       // seekable: 1.5 s stereo, then 0.7 s mono
    inline static std::string twenty_ms; // 20 ms
    inline static std::string holey;     // a page missing in the middle
    inline static std::string badlink;   // second link's comment header broken

    static void SetUpTestSuite() {
        dir = make_temp_dir();
        two = dir + "/two.opus";
        twenty_ms = dir + "/short.opus";
        holey = dir + "/holey.opus";
        badlink = dir + "/badlink.opus";
        make_opus(two, "ms=1500 pagems=100 tag=TITLE=One -- ms=700 ch=1 pagems=100 tag=TITLE=Two");
        make_opus(twenty_ms, "ms=20");
        make_opus(dir + "/three.opus", THREE_SECONDS);
        rewrite_ogg(dir + "/three.opus", holey, "drop:10");
        // Page 19 starts the second link's OpusTags packet; break its magic.
        rewrite_ogg(two, badlink, "poke:19:0:88");
    }

    static std::string quoted(const std::string &path) {
        return shell_quote(path);
    }
    static std::string out_path(const char *name) {
        return dir + "/" + name;
    }
};
