#include "run.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <vector>

#include <arpa/inet.h>
#include <csignal>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

std::string read_file(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream buffer;
    buffer << in.rdbuf();
    return buffer.str();
}

void write_file(const std::string &path, const std::string &data) {
    std::ofstream out(path, std::ios::binary);
    out << data;
}

std::string shell_quote(const std::string &text) {
    std::string quoted = "'";
    for (char c : text) {
        if (c == '\'') {
            quoted += "'\\''";
        } else {
            quoted += c;
        }
    }
    return quoted + "'";
}

RunResult run_shell(const std::string &script) {
    static int counter = 0;
    static std::string dir = make_temp_dir();
    std::string base = dir + "/run" + std::to_string(counter++);
    std::string command =
        "bash -c " + shell_quote(script) + " >" + base + ".out 2>" + base + ".err </dev/null";
    RunResult result;
    int raw = std::system(command.c_str());
    if (raw != -1 && WIFEXITED(raw)) {
        result.status = WEXITSTATUS(raw);
    }
    result.out = read_file(base + ".out");
    result.err = read_file(base + ".err");
    std::remove((base + ".out").c_str());
    std::remove((base + ".err").c_str());
    return result;
}

std::string opus2wav_bin() {
    return OPUS2WAV_BIN;
}
std::string make_opus_bin() {
    return MAKE_OPUS_BIN;
}
std::string opus_facts_bin() {
    return OPUS_FACTS_BIN;
}
std::string ogg_rewrite_cmd() {
    return std::string(PYTHON_BIN) + " " + OGG_REWRITE;
}

std::string opus_events(const std::string &path, bool through_pipe) {
    std::string cmd = shell_quote(opus_facts_bin()) + " events ";
    cmd += through_pipe ? "- < <(cat " + shell_quote(path) + ")" : shell_quote(path);
    return run_shell(cmd).out;
}

std::string into_pipe(const std::string &command) {
    return command + " | cat; exit ${PIPESTATUS[0]}";
}

std::string failing_calls(const std::string &calls) {
    return "ASAN_OPTIONS=${ASAN_OPTIONS:-}:verify_asan_link_order=0 FAIL_CALLS=" +
           shell_quote(calls) + " LD_PRELOAD=" + shell_quote(FAIL_CALLS_LIB) + " ";
}

bool ends_with(const std::string &text, const std::string &tail) {
    return text.size() >= tail.size() &&
           text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

bool contains(const std::string &text, const std::string &part) {
    return text.find(part) != std::string::npos;
}

std::map<std::string, std::string> opus_facts(const std::string &path) {
    RunResult r = run_shell(opus_facts_bin() + " facts " + shell_quote(path));
    EXPECT_EQ(r.status, 0) << r.err;
    std::map<std::string, std::string> facts;
    std::istringstream lines(r.out);
    std::string line;
    while (std::getline(lines, line)) {
        size_t eq = line.find('=');
        if (eq != std::string::npos) {
            facts[line.substr(0, eq)] = line.substr(eq + 1);
        }
    }
    return facts;
}

uint32_t le32_at(const std::string &bytes, size_t offset) {
    uint32_t v = 0;
    for (int i = 3; i >= 0; i--) {
        v = (v << 8) | static_cast<unsigned char>(bytes.at(offset + i));
    }
    return v;
}

std::string expected_header(int64_t frames) {
    auto le32 = [](uint32_t v) {
        std::string s;
        for (int i = 0; i < 4; i++) {
            s += static_cast<char>((v >> (8 * i)) & 0xFF);
        }
        return s;
    };
    bool exact = frames >= 1 && frames <= 536870902;
    uint32_t data = exact ? static_cast<uint32_t>(frames * 4) : 0x7FFFFFFFu;
    uint32_t riff = exact ? data + 36 : 0x7FFFFFFFu;
    std::string h = "RIFF" + le32(riff) + "WAVEfmt " + le32(16);
    h += std::string("\x01\x00\x02\x00", 4) + le32(48000) + le32(192000);
    h += std::string("\x04\x00\x10\x00", 4) + "data" + le32(data);
    return h;
}

Spawned spawn_program(const std::vector<std::string> &args, const std::string &stdin_source,
                      const std::string &stdout_file) {
    Spawned child;
    int in_pipe[2] = {-1, -1};
    int err_pipe[2] = {-1, -1};
    if ((stdin_source == "|" && pipe(in_pipe) != 0) || pipe(err_pipe) != 0) {
        ADD_FAILURE() << "pipe failed";
        return child;
    }
    std::vector<char *> argv;
    for (const std::string &a : args) {
        argv.push_back(const_cast<char *>(a.c_str()));
    }
    argv.push_back(nullptr);
    pid_t pid = fork();
    if (pid < 0) {
        ADD_FAILURE() << "fork failed";
        return child;
    }
    if (pid == 0) {
        int in = stdin_source == "|"
                     ? in_pipe[0]
                     : open(stdin_source.empty() ? "/dev/null" : stdin_source.c_str(), O_RDONLY);
        int out = open(stdout_file.empty() ? "/dev/null" : stdout_file.c_str(),
                       O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (in < 0 || out < 0) {
            _exit(125);
        }
        dup2(in, 0);
        dup2(out, 1);
        dup2(err_pipe[1], 2);
        for (int fd = 3; fd < 256; fd++) {
            close(fd);
        }
        // The test runner may have ignored or blocked some signals; the
        // program starts as it would from a shell.
        for (int s : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) {
            signal(s, SIG_DFL);
        }
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        execv(argv[0], argv.data());
        _exit(126);
    }
    if (in_pipe[0] >= 0) {
        close(in_pipe[0]);
    }
    close(err_pipe[1]);
    child.pid = pid;
    child.input = in_pipe[1];
    child.errors = err_pipe[0];
    return child;
}

bool wait_until(const std::function<bool()> &cond, int timeout_ms) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    while (!cond()) {
        if (std::chrono::steady_clock::now() > end) {
            return cond();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

int finish_program(Spawned &child, std::string *errors, int timeout_ms) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    char buffer[4096];
    for (;;) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                        end - std::chrono::steady_clock::now())
                        .count();
        struct pollfd p = {child.errors, POLLIN, 0};
        if (left <= 0 || poll(&p, 1, static_cast<int>(left)) <= 0) {
            ADD_FAILURE() << "the program did not end within " << timeout_ms << " ms";
            kill(child.pid, SIGKILL);
            break;
        }
        ssize_t n = read(child.errors, buffer, sizeof buffer);
        if (n <= 0) {
            break;
        }
        errors->append(buffer, static_cast<size_t>(n));
    }
    close(child.errors);
    if (child.input >= 0) {
        close(child.input);
    }
    // Its standard error may have gone elsewhere: the end of the pipe says
    // nothing then, and the wait is bounded too.
    int raw = 0;
    if (!wait_until([&] { return waitpid(child.pid, &raw, WNOHANG) == child.pid; },
                    static_cast<int>(
                        std::max<int64_t>(0, std::chrono::duration_cast<std::chrono::milliseconds>(
                                                 end - std::chrono::steady_clock::now())
                                                 .count())))) {
        ADD_FAILURE() << "the program did not end within " << timeout_ms << " ms";
        kill(child.pid, SIGKILL);
        waitpid(child.pid, &raw, 0);
    }
    return WIFSIGNALED(raw) ? 128 + WTERMSIG(raw) : WEXITSTATUS(raw);
}

int64_t file_size(const std::string &path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 ? static_cast<int64_t>(st.st_size) : -1;
}

std::string expected_final_header(int64_t frames) {
    std::string h = expected_header(frames);
    if (frames == 0) {
        h.replace(4, 4, std::string("\x24\0\0\0", 4));
        h.replace(40, 4, std::string(4, '\0'));
    }
    return h;
}

testing::AssertionResult same_bytes(const std::string &actual, const std::string &expected) {
    if (actual == expected) {
        return testing::AssertionSuccess();
    }
    size_t at = 0;
    while (at < actual.size() && at < expected.size() && actual[at] == expected[at]) {
        at++;
    }
    return testing::AssertionFailure() << "got " << actual.size() << " bytes, expected "
                                       << expected.size() << "; first difference at offset " << at;
}
