// Helpers for tests that run the real program and the project's tools.
#pragma once

#include <cstdint>
#include <map>
#include <string>

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

std::string read_file(const std::string &path);
void write_file(const std::string &path, const std::string &data);
std::string shell_quote(const std::string &text);

// Paths of the program under test and of the tools.
std::string opus2wav_bin();
std::string make_opus_bin();
std::string opus_facts_bin();
std::string ogg_rewrite_cmd();

// Makes an input with the generator; aborts the test on failure.
void make_opus(const std::string &path, const std::string &words);
// Rewrites pages of in into out; aborts the test on failure.
void rewrite_ogg(const std::string &in, const std::string &out, const std::string &ops);
// What libopusfile itself says about a file, as key=value pairs.
std::map<std::string, std::string> opus_facts(const std::string &path);
// The PCM bytes that op_read_stereo yields for a file, decoded directly.
std::string reference_pcm(const std::string &path);

// Little-endian 32-bit value at offset of bytes.
uint32_t le32_at(const std::string &bytes, size_t offset);
// The 44-byte header that the program should write for a frame count, made
// independently of the program's own code.
std::string expected_header(int64_t frames);

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

// Compares two byte strings without printing them whole: on a mismatch it
// says where they first differ.
testing::AssertionResult same_bytes(const std::string &actual, const std::string &expected);
