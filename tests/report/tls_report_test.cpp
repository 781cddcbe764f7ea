// Transcripts and audio of HTTPS streams from the project's own server: a
// complete stream, and streams cut without a TLS close_notify.
#include "report_fixture.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// HTTPS with a throw-away CA that the client trusts through SSL_CERT_FILE.
class Tls : public Report {
  protected:
    static std::string ca, cert, key, longf;

    static void SetUpTestSuite() {
        Report::SetUpTestSuite();
        ca = dir + "/ca.pem";
        cert = dir + "/server.pem";
        key = dir + "/server.key";
        make_test_ca(dir);
        longf = dir + "/long.opus";
        make_opus(longf, "ms=20000 pagems=100");
    }

    static std::string https_run(const TestServer &server, const std::string &redirect) {
        return "SSL_CERT_FILE=" + shell_quote(ca) + " " + bin() +
               " https://localhost:" + std::to_string(server.port) + "/long.opus " + redirect;
    }
};

std::string Tls::ca, Tls::cert, Tls::key, Tls::longf;

TEST_F(Tls, CompleteStreamIsBitIdentical) {
    TestServer server(shell_quote(longf) + " --tls " + shell_quote(cert) + " " + shell_quote(key));
    std::string wav = dir + "/tls.wav";
    RunResult r = run_shell(https_run(server, "> " + shell_quote(wav)));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(same_bytes(read_file(wav), expected_header(960000) + reference_pcm(longf)));
    EXPECT_EQ(r.err.find("truncation"), std::string::npos);
}

// A body cut off without close_notify, on a seekable source into a file: the
// error, the truncation hint, no summary, the length warning and a header
// rewritten for what was written.
TEST_F(Tls, CutSeekableStreamIntoFile) {
    TestServer server(shell_quote(longf) + " --tls " + shell_quote(cert) + " " + shell_quote(key) +
                      " --cut 120000 --tail 100000");
    std::string wav = dir + "/cut.wav";
    RunResult r = run_shell(https_run(server, "> " + shell_quote(wav)));
    EXPECT_EQ(r.status, 1);
    std::string url = "https://localhost:" + std::to_string(server.port) + "/long.opus";
    std::string tail = "\nError decoding '" + url + "': -128\nPossible truncation attack?\n" +
                       closing_lines(length_warning_only());
    ASSERT_GE(r.err.size(), tail.size());
    EXPECT_EQ(r.err.substr(r.err.size() - tail.size()), tail) << r.err;
    EXPECT_EQ(r.err.find("Done: played"), std::string::npos);
    std::string out = read_file(wav);
    ASSERT_GT(out.size(), 44u);
    size_t frames = (out.size() - 44) / 4;
    EXPECT_TRUE(same_bytes(out, expected_header(static_cast<int64_t>(frames)) +
                                    reference_pcm(longf).substr(0, frames * 4)));
}

TEST_F(Tls, CutLiveStreamIntoPipe) {
    TestServer server(shell_quote(longf) + " --tls " + shell_quote(cert) + " " + shell_quote(key) +
                      " --live --cut 50000");
    RunResult r = run_shell(https_run(server, "| cat; exit ${PIPESTATUS[0]}"));
    EXPECT_EQ(r.status, 1);
    std::string url = "https://localhost:" + std::to_string(server.port) + "/long.opus";
    std::string tail = "\nError decoding '" + url + "': -128\nPossible truncation attack?\n";
    ASSERT_GE(r.err.size(), tail.size());
    EXPECT_EQ(r.err.substr(r.err.size() - tail.size()), tail) << r.err;
    EXPECT_EQ(r.out.substr(0, 44), expected_header(0));
    EXPECT_TRUE(same_bytes(r.out.substr(44), reference_pcm(longf).substr(0, r.out.size() - 44)));
}

} // namespace
