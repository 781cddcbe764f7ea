// Which names are standard input, URLs of a kind, or local paths.
#include "input/url_scheme.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(UrlScheme, SchemeLengthAndKind) {
    struct {
        const char *name;
        size_t length;
    } cases[] = {
        {"http://host/x.opus", 4},
        {"HTTPS://host/x", 5},
        {"File:x.opus", 4},
        {"x:y.opus", 1},
        {"http:/z.opus", 4},
        {"a+b-c.9:rest", 7},
        {"song.opus", 0},
        {"./x:y.opus", 0},
        {"/abs/path", 0},
        {"-", 0},
        {"9p:x", 0},
        {":x", 0},
        {"", 0},
        {"ab_c:x", 0},
        {"~a:x", 0},
        {"C:\\music\\a.opus", 1},
        {"\xC3\xA9t\xC3\xA9:x", 0},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(url_scheme_length(c.name), c.length) << c.name;
    }
    struct {
        const char *name;
        InputKind kind;
    } kinds[] = {
        {"-", InputKind::STANDARD_INPUT},
        {"./-", InputKind::PLAIN_PATH},
        {"hTtPs://h/x", InputKind::NETWORK_URL},
        {"http:x", InputKind::NETWORK_URL},
        {"FILE:x", InputKind::FILE_URL},
        {"file:///x.opus", InputKind::FILE_URL},
        {"httpx://h/x", InputKind::OTHER_SCHEME},
        {"song.opus", InputKind::PLAIN_PATH},
        // A prefix of a scheme is another scheme.
        {"f:x", InputKind::OTHER_SCHEME},
        {"htt:x", InputKind::OTHER_SCHEME},
        {"fil:x", InputKind::OTHER_SCHEME},
        {"https2:x", InputKind::OTHER_SCHEME},
        {"ht1p:x", InputKind::OTHER_SCHEME},
    };
    for (const auto &k : kinds) {
        EXPECT_EQ(input_kind(k.name), k.kind) << k.name;
    }
}

// The local file a file: URL names, in the forms compared with the output.
TEST(UrlScheme, FileUrlPath) {
    struct {
        const char *name;
        const char *kept;    // as written ("" for none)
        const char *decoded; // escapes decoded, cut at '?' or '#'
        const char *library; // escapes as libopusurl reads them, cut
    } cases[] = {
        {"file:a.opus", "a.opus", "a.opus", "a.opus"},
        {"FILE:/x/a.opus", "/x/a.opus", "/x/a.opus", "/x/a.opus"},
        {"file:///x/a%20b.opus?q#f", "/x/a%20b.opus?q#f", "/x/a b.opus", "/x/a 20b.opus"},
        {"file://LocalHost/x%2f", "/x%2f", "/x/", "/x/2f"},
        {"file:a%4", "a%4", "a%4", "a%4"},
        {"file:v%4F.opus", "v%4F.opus", "vO.opus", "vO4F.opus"},
        {"file:a.opus#b%41", "a.opus#b%41", "a.opus", "a.opus"},
        {"file://host/x", "", "", ""},
        {"file://localhost", "", "", ""},
        {"file:", "", "", ""},
        {"http://h/x", "", "", ""},
    };
    for (const auto &c : cases) {
        const struct {
            Escapes escapes;
            bool cut;
            const char *expected;
        } forms[] = {{Escapes::KEPT, false, c.kept},
                     {Escapes::DECODED, true, c.decoded},
                     {Escapes::DECODED_AND_KEPT, true, c.library}};
        for (const auto &form : forms) {
            char out[96];
            bool named = file_url_path(c.name, form.escapes, form.cut, out);
            EXPECT_EQ(named ? out : "", std::string(form.expected)) << c.name;
        }
    }
}

} // namespace
