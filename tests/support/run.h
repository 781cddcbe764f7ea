// Helpers for tests that run the real program and the project's tools.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

struct RunResult {
    int status = -1; // exit status, or 128 + signal number
    std::string out; // what the script wrote to its standard output
    std::string err; // what the script wrote to its standard error
};

// Runs script with bash; its standard output and standard error go to
// regular files that are read back. Where a test needs a pipe, the script
// makes one itself.
RunResult run_shell(const std::string &script);

// A fresh directory for the calling test.
std::string make_temp_dir();
// Under ctest, the run's folder (in /tmp, mode 0755) for what a server reads
// and writes as the user it drops to; "" outside ctest.
std::string servers_root();

std::string read_file(const std::string &path);
void write_file(const std::string &path, const std::string &data);
std::string shell_quote(const std::string &text);

// Paths of the program under test and of the tools.
std::string opus2wav_bin();
std::string make_opus_bin();
std::string opus_facts_bin();
std::string ogg_rewrite_cmd();

// The program under test, quoted for a shell.
inline std::string bin() {
    return shell_quote(opus2wav_bin());
}

// Makes an input with the generator (once per run for the same words: a
// copy of the first one made); aborts the test on failure.
void make_opus(const std::string &path, const std::string &words);
// The generator's words for inputs that several suites share.
constexpr const char *THREE_SECONDS = "ms=3000 pagems=100";
constexpr const char *TEN_SECONDS = "ms=10000 pagems=100";
// Rewrites pages of in into out (once per run for the same bytes and
// operations); aborts the test on failure.
void rewrite_ogg(const std::string &in, const std::string &out, const std::string &ops);
// The events libopusfile yields for a file read directly (seekable) or
// through a pipe on standard input (not seekable): "opus_facts events".
std::string opus_events(const std::string &path, bool through_pipe);
// What libopusfile itself says about a file, as key=value pairs.
std::map<std::string, std::string> opus_facts(const std::string &path);
// The PCM bytes that op_read_stereo yields for a file, decoded directly
// (once per run for the same bytes).
std::string reference_pcm(const std::string &path);

// The program's own messages that several tests look for, as literals.
// The two lines printed before decoding when neither side can seek:
constexpr const char *NEITHER_SEEKABLE =
    "WARNING: Neither input nor output are seekable.\n"
    "Writing non-standard WAV header with invalid chunk sizes.\n";
// The length warning, and the line after it when the output cannot seek:
constexpr const char *LENGTH_WARNING =
    "\nWARNING: Number of output samples does not match declared file duration.\n";
constexpr const char *CORRUPT_OUTPUT = "Output WAV file will be corrupt.\n";

// Stereo samples at 48 kHz in ms milliseconds, and the bytes they take in
// the WAV data.
constexpr int64_t samples_in_ms(int64_t ms) {
    return ms * 48;
}
constexpr size_t wav_data_bytes(int64_t samples) {
    return static_cast<size_t>(samples) * 4;
}
// A shell command whose standard output goes into a pipe (to cat), with the
// command's own exit status kept as the script's.
std::string into_pipe(const std::string &command);
// Shell words that put before a command make the calls that calls names
// fail for it (tests/support/fail_calls.c); the sanitizers' own options
// are kept, so a report still fails the run.
std::string failing_calls(const std::string &calls);

bool contains(const std::string &text, const std::string &part);
bool ends_with(const std::string &text, const std::string &tail);

// Little-endian 32-bit value at offset of bytes.
uint32_t le32_at(const std::string &bytes, size_t offset);
// The 44-byte header that the program should write for a frame count, made
// independently of the program's own code.
std::string expected_header(int64_t frames);
// The header of a finished file on a seekable output: the same, except that an
// empty file gets exact sizes (36 and 0) instead of the placeholders.
std::string expected_final_header(int64_t frames);

// A loopback HTTP(S) server serving one file (tests/support/http_server.py),
// stopped when the object goes away.
struct TestServer {
    int port = 0;
    int pid = 0;
    explicit TestServer(const std::string &args);
    ~TestServer();
    TestServer(const TestServer &) = delete;
    TestServer &operator=(const TestServer &) = delete;
};

// The program started directly (no shell between), so that signals reach it
// and its own death by a signal is seen as such. Standard error is a pipe
// that is read only when the test asks for it.
struct Spawned {
    // No process at all until one was started: a signal sent to it goes
    // nowhere (-1 or 0 would reach every process, or the test's group).
    int pid = NO_PROCESS;
    static constexpr int NO_PROCESS = 0x7fffffff;
    int input = -1;  // write end of its standard input, when that is a pipe
    int errors = -1; // read end of its standard error
};

// stdin_source: a file path, "" for /dev/null, or "|" for a pipe the test
// feeds through Spawned::input. stdout_file: the file standard output goes to
// (created, truncated); "" for /dev/null.
Spawned spawn_program(const std::vector<std::string> &args, const std::string &stdin_source,
                      const std::string &stdout_file);
// Polls cond every 10 ms until it holds or timeout_ms passed; its last value.
bool wait_until(const std::function<bool()> &cond, int timeout_ms = 20000);
// Reads what remains of the program's standard error and waits for it to end;
// a program that is still running after timeout_ms is killed and the test
// fails. Returns the exit status, or 128 + the signal that ended it.
int finish_program(Spawned &child, std::string *errors, int timeout_ms = 20000);
// Size of a file in bytes, -1 when it does not exist.
int64_t file_size(const std::string &path);

// A real server (Icecast or nginx) from a configuration template, started on
// loopback by tests/support/real_server.py, which stops it by its PID when
// this object goes away (or when the test process dies). words: the
// template's path and the keeper's further options.
struct RealServer {
    int port = 0;
    int tls_port = 0;
    int keeper = 0;
    explicit RealServer(const std::string &kind, const std::string &words);
    ~RealServer();
    RealServer(const RealServer &) = delete;
    RealServer &operator=(const RealServer &) = delete;

  private:
    FILE *pipe_ = nullptr;
};

// A throw-away CA and a server certificate for localhost and 127.0.0.1 that
// it signed, made with openssl in dir: dir/ca.pem, dir/server.pem and
// dir/server.key; the CA's key is removed once it has signed. Aborts the
// test on failure.
void make_test_ca(const std::string &dir);

// The body and head of a plain HTTP GET on a loopback port ("" on failure).
std::string http_get(int port, const std::string &path);

// Compares two byte strings without printing them whole: on a mismatch it
// says where they first differ.
testing::AssertionResult same_bytes(const std::string &actual, const std::string &expected);
