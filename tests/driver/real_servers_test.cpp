// The built program against the servers users point it at, started here on
// loopback: an Icecast mount fed by a real source client (ezstream), and
// nginx serving files with byte ranges, over HTTP and HTTPS.
#include "run.h"
#include "transcript.h"

#include <gtest/gtest.h>

#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The path of an installed program, "" when there is none.
std::string installed(const char *program) {
    RunResult r = run_shell(std::string("command -v ") + program);
    return r.status == 0 ? r.out.substr(0, r.out.find('\n')) : "";
}

// What a program says its version is: from the first match of prefix in
// the command's output to the end of that line.
std::string version_of(const std::string &command, const std::string &prefix) {
    std::string text = run_shell(command + " 2>&1").out;
    size_t at = text.find(prefix);
    if (at == std::string::npos) {
        return "";
    }
    return text.substr(at, text.find('\n', at) - at);
}

class Icecast : public testing::Test {
  protected:
    static std::string dir;
    // 3 s: streamed in real time, long enough that a listener started on a
    // busy machine after the mount appeared still gets it from the start.
    static std::string song;
    static std::string chain; // 0.8 s stereo, then 0.6 s mono
    static std::string server_software;
    static std::string content_type; // as announced in Icecast's status page
    static RealServer *server;

    static void SetUpTestSuite() {
        if (installed("icecast2").empty() || installed("ezstream").empty()) {
            return;
        }
        dir = make_temp_dir();
        song = dir + "/song.opus";
        chain = dir + "/chain.opus";
        make_opus(song, "ms=3000 pagems=100 tag=TITLE=Live");
        make_opus(chain, "ms=800 pagems=100 tag=TITLE=One -- ms=600 ch=1 pagems=100 tag=TITLE=Two");
        make_test_ca(dir);
        server = new RealServer("icecast", shell_quote(ICECAST_TEMPLATE) + " --cert " +
                                               shell_quote(dir + "/server.pem") + " --key " +
                                               shell_quote(dir + "/server.key") +
                                               " PASSWORD=o2w-source");
        server_software = version_of("icecast2 -v", "Icecast ");
    }

    static void TearDownTestSuite() {
        delete server;
        server = nullptr;
    }

    void SetUp() override {
        if (server == nullptr) {
            GTEST_SKIP() << "icecast2 or ezstream is not installed";
        }
        ASSERT_GT(server->port, 0);
        ASSERT_NE(server_software, "");
    }

    // Streams input into mount with ezstream, which declares the station
    // facts, and returns once Icecast lists the mount. finish_program ends it.
    static Spawned start_source(const std::string &input, const std::string &mount) {
        std::string conf = dir + "/ezstream" + mount.substr(1) + ".xml";
        write_file(conf, "<ezstream><servers><server><hostname>127.0.0.1</hostname><port>" +
                             std::to_string(server->port) +
                             "</port><password>o2w-source</password></server></servers>"
                             "<streams><stream><mountpoint>" +
                             mount +
                             "</mountpoint><format>Ogg</format><public>1</public>"
                             "<stream_name>Loopback FM</stream_name>"
                             "<stream_url>http://fm.example/</stream_url>"
                             "<stream_genre>Test</stream_genre>"
                             "<stream_description>Made by the tests</stream_description>"
                             "<stream_bitrate>96</stream_bitrate></stream></streams>"
                             "<intakes><intake><type>file</type><filename>" +
                             input +
                             "</filename><stream_once>1</stream_once></intake></intakes>"
                             "</ezstream>");
        chmod(conf.c_str(), 0600); // ezstream wants its password file private
        Spawned source = spawn_program({installed("ezstream"), "-c", conf}, "", "");
        std::string status;
        EXPECT_TRUE(wait_until(
            [&] {
                status = http_get(server->port, "/status-json.xsl");
                return status.find(mount) != std::string::npos;
            },
            30000))
            << "the mount did not appear";
        // The content type Icecast announces for the mount.
        const std::string key = "\"server_type\":\"";
        size_t at = status.find(key);
        content_type = at == std::string::npos
                           ? "(not announced)"
                           : status.substr(at + key.size(),
                                           status.find('"', at + key.size()) - at - key.size());
        return source;
    }

    static std::string station_block() {
        return "Station name: Loopback FM\nStation description: Made by the tests\n"
               "Station genre: Test\nStation homepage: http://fm.example/\n"
               "Station bitrate: 96 kbps\nStation is public.\nServer software: " +
               server_software + "\nContent-Type: " + content_type + "\n";
    }
};

std::string Icecast::dir, Icecast::song, Icecast::chain, Icecast::server_software,
    Icecast::content_type;
RealServer *Icecast::server = nullptr;

// The station block is what the source declared and what Icecast announces;
// the audio is the file's, bit for bit; a file output gets its header
// rewritten for the frames received.
TEST_F(Icecast, MountIntoPipeAndIntoFile) {
    std::string pcm = reference_pcm(song);
    ASSERT_EQ(pcm.size(), wav_data_bytes(samples_in_ms(3000)));
    for (bool into_file : {false, true}) {
        std::string mount = into_file ? "/file.opus" : "/pipe.opus";
        Spawned source = start_source(song, mount);
        std::string url = "http://127.0.0.1:" + std::to_string(server->port) + mount;
        std::string wav = dir + "/icecast.wav";
        RunResult r =
            run_shell(shell_quote(opus2wav_bin()) + " " + url +
                      (into_file ? " > " + shell_quote(wav) : " | cat; exit ${PIPESTATUS[0]}"));
        std::string source_errors;
        EXPECT_EQ(finish_program(source, &source_errors), 0) << source_errors;
        ASSERT_EQ(r.status, 0) << r.err;
        TranscriptInput in{opus_events(song, true),
                           opus_facts(song),
                           false,
                           url,
                           false,
                           {{{"TITLE=Live"}, -1}},
                           {}};
        EXPECT_EQ(r.err,
                  station_block() + (into_file ? "" : NEITHER_SEEKABLE) + compose_transcript(in));
        if (into_file) {
            EXPECT_TRUE(same_bytes(read_file(wav), expected_header(samples_in_ms(3000)) + pcm));
        } else {
            EXPECT_TRUE(same_bytes(r.out, expected_header(0) + pcm));
        }
    }
}

TEST_F(Icecast, ChainedSourceShowsEveryLink) {
    Spawned source = start_source(chain, "/chain.opus");
    std::string url = "http://127.0.0.1:" + std::to_string(server->port) + "/chain.opus";
    std::string wav = dir + "/chain.wav";
    RunResult r = run_shell(shell_quote(opus2wav_bin()) + " " + url + " > " + shell_quote(wav));
    std::string source_errors;
    finish_program(source, &source_errors);
    ASSERT_EQ(r.status, 0) << r.err;
    TranscriptInput in{opus_events(chain, true),
                       opus_facts(chain),
                       false,
                       url,
                       false,
                       {{{"TITLE=One"}, -1}, {{"TITLE=Two"}, -1}},
                       {}};
    EXPECT_EQ(r.err, station_block() + compose_transcript(in));
    EXPECT_TRUE(same_bytes(read_file(wav), expected_header(67200) + reference_pcm(chain)));
}

// Icecast's TLS listener ends the stream without close_notify: the library
// reports a read error after the last page, so an HTTPS station always ends
// with the error line and the truncation hint, all audio received.
TEST_F(Icecast, TlsListenerEndsWithoutCloseNotify) {
    Spawned source = start_source(song, "/tls.opus");
    std::string url = "https://localhost:" + std::to_string(server->tls_port) + "/tls.opus";
    std::string wav = dir + "/tls.wav";
    RunResult r = run_shell("SSL_CERT_FILE=" + shell_quote(dir + "/ca.pem") + " " +
                            shell_quote(opus2wav_bin()) + " " + url + " > " + shell_quote(wav));
    std::string source_errors;
    finish_program(source, &source_errors);
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(r.err.rfind(station_block(), 0), 0u) << r.err;
    std::string tail = "\nError decoding '" + url + "': -128\nPossible truncation attack?\n";
    ASSERT_GE(r.err.size(), tail.size());
    EXPECT_EQ(r.err.substr(r.err.size() - tail.size()), tail) << r.err;
    EXPECT_TRUE(
        same_bytes(read_file(wav), expected_header(samples_in_ms(3000)) + reference_pcm(song)));
}

class Nginx : public testing::Test {
  protected:
    static std::string dir;
    static std::string www;
    static std::string server_software;
    static RealServer *server;

    static void SetUpTestSuite() {
        if (installed("nginx").empty()) {
            return;
        }
        dir = make_temp_dir();
        www = dir + "/www";
        run_shell("mkdir -p " + shell_quote(www) + " && chmod 755 " + shell_quote(dir));
        make_opus(www + "/chain.opus",
                  "ms=1500 pagems=100 tag=TITLE=One -- ms=700 ch=1 tag=TITLE=Two -- ms=300");
        make_test_ca(dir);
        server = new RealServer("nginx", shell_quote(NGINX_TEMPLATE) + " --cert " +
                                             shell_quote(dir + "/server.pem") + " --key " +
                                             shell_quote(dir + "/server.key") +
                                             " ROOT=" + shell_quote(www) + " TARGET=chain.opus");
        server_software = version_of("nginx -v", "nginx/");
    }

    static void TearDownTestSuite() {
        delete server;
        server = nullptr;
    }

    void SetUp() override {
        if (server == nullptr) {
            GTEST_SKIP() << "nginx is not installed";
        }
        ASSERT_GT(server->port, 0);
        ASSERT_NE(server_software, "");
    }
};

std::string Nginx::dir, Nginx::www, Nginx::server_software;
RealServer *Nginx::server = nullptr;

// Byte ranges make the input seekable: totals, per-link durations and sizes
// and the output are exactly those of the local file, over HTTP, over HTTPS
// and behind a redirect.
TEST_F(Nginx, SeekableChainLikeTheLocalFile) {
    std::string file = www + "/chain.opus";
    std::string wav = dir + "/out.wav";
    RunResult local =
        run_shell(shell_quote(opus2wav_bin()) + " " + shell_quote(file) + " > " + shell_quote(wav));
    ASSERT_EQ(local.status, 0) << local.err;
    EXPECT_EQ(local.err.rfind("Total number of links: 3\n", 0), 0u) << local.err;
    std::string expected_wav = read_file(wav);
    EXPECT_TRUE(same_bytes(expected_wav, expected_header(120000) + reference_pcm(file)));

    std::string http = "http://127.0.0.1:" + std::to_string(server->port);
    std::string https = "https://localhost:" + std::to_string(server->tls_port);
    for (const std::string &url : {http + "/chain.opus", https + "/chain.opus",
                                   http + "/moved.opus", https + "/moved.opus"}) {
        RunResult r = run_shell("SSL_CERT_FILE=" + shell_quote(dir + "/ca.pem") + " " +
                                shell_quote(opus2wav_bin()) + " " + url + " > " + shell_quote(wav));
        ASSERT_EQ(r.status, 0) << url << "\n" << r.err;
        EXPECT_EQ(r.err,
                  "Server software: " + server_software + "\nContent-Type: audio/ogg\n" + local.err)
            << url;
        EXPECT_TRUE(same_bytes(read_file(wav), expected_wav)) << url;
    }
}

TEST_F(Nginx, MissingFileIsAnOpenFailure) {
    std::string url = "http://127.0.0.1:" + std::to_string(server->port) + "/missing.opus";
    RunResult r =
        run_shell(shell_quote(opus2wav_bin()) + " " + url + " | cat; exit ${PIPESTATUS[0]}");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Failed to open file '" + url + "': -129\n");
    EXPECT_EQ(r.out, "");
}

} // namespace
