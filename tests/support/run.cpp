#include "run.h"

#include <gtest/gtest.h>

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
#include <ftw.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Removes a folder and everything in it, links not followed.
void remove_tree(const std::string &path) {
    nftw(
        path.c_str(),
        [](const char *name, const struct stat *, int, struct FTW *) { return remove(name); }, 16,
        FTW_DEPTH | FTW_PHYS);
}

// The folders this process made, removed when it exits, also after a failed
// test. Under ctest TMPDIR is the run's scratch folder (made and removed by
// the fixtures in tests/CMakeLists.txt), so even a test killed at its time
// limit leaves nothing once the run is over.
struct Scratch {
    std::string run_root; // shared by every test of the run; "" outside ctest
    std::vector<std::string> made;
    Scratch() {
        const char *tmp = getenv("TMPDIR");
        if (tmp != nullptr && std::string(tmp) == std::string(TEST_SCRATCH) + "/tmp") {
            run_root = TEST_SCRATCH;
        }
    }
    ~Scratch() {
        for (const std::string &dir : made) {
            remove_tree(dir);
        }
    }
};

Scratch &scratch() {
    static Scratch instance;
    return instance;
}

std::string new_folder() {
    const char *tmp = getenv("TMPDIR");
    std::string pattern =
        std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/o2w-test-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    if (mkdtemp(name.data()) == nullptr) {
        ADD_FAILURE() << "mkdtemp failed for " << pattern;
        return "/nonexistent";
    }
    scratch().made.push_back(name.data());
    return name.data();
}

// Where generated inputs and their reference decodes are kept: for the whole
// ctest run, or for this process alone outside ctest.
const std::string &cache_dir() {
    static std::string dir;
    if (dir.empty()) {
        dir = scratch().run_root.empty() ? new_folder() : scratch().run_root + "/inputs";
        mkdir(dir.c_str(), 0700);
    }
    return dir;
}

std::string hex_hash(const std::string &text) {
    uint64_t h = 1469598103934665603ull;
    for (unsigned char c : text) {
        h = (h ^ c) * 1099511628211ull;
    }
    char buffer[17];
    snprintf(buffer, sizeof buffer, "%016llx", static_cast<unsigned long long>(h));
    return buffer;
}

// The cached file for key, made by make (which writes the path it is given)
// the first time any test process of the run asks for it; the others wait
// for that one. False when make failed.
bool cached(const std::string &key, const std::string &suffix, std::string *path,
            const std::function<bool(const std::string &)> &make) {
    *path = cache_dir() + "/" + hex_hash(key) + suffix;
    if (access(path->c_str(), F_OK) == 0) {
        return true;
    }
    int lock = open((*path + ".lock").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    if (lock < 0 || flock(lock, LOCK_EX) != 0) {
        ADD_FAILURE() << "cannot lock " << *path;
        return false;
    }
    bool made = access(path->c_str(), F_OK) == 0;
    if (!made) {
        std::string part = *path + ".part";
        made = make(part) && rename(part.c_str(), path->c_str()) == 0;
    }
    close(lock);
    return made;
}

void copy_file(const std::string &from, const std::string &to) {
    write_file(to, read_file(from));
}

} // namespace

std::string make_temp_dir() {
    return new_folder();
}

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

// Both keep a copy of the generated file in the run's cache; the caller gets
// its own copy, which a test may damage or write over.
void make_opus(const std::string &path, const std::string &words) {
    std::string cached_path, err;
    bool made = cached("make_opus " + words, ".opus", &cached_path, [&](const std::string &to) {
        RunResult r = run_shell(make_opus_bin() + " " + shell_quote(to) + " " + words);
        err = r.err;
        return r.status == 0;
    });
    ASSERT_TRUE(made) << "make_opus " << words << ": " << err;
    copy_file(cached_path, path);
}

void rewrite_ogg(const std::string &in, const std::string &out, const std::string &ops) {
    std::string cached_path, err;
    bool made = cached("rewrite " + hex_hash(read_file(in)) + " " + ops, ".opus", &cached_path,
                       [&](const std::string &to) {
                           RunResult r = run_shell(ogg_rewrite_cmd() + " " + shell_quote(in) + " " +
                                                   shell_quote(to) + " " + ops);
                           err = r.err;
                           return r.status == 0;
                       });
    ASSERT_TRUE(made) << "ogg_rewrite " << ops << ": " << err;
    copy_file(cached_path, out);
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

std::string reference_pcm(const std::string &path) {
    std::string cached_path, err;
    bool made = cached("decode " + hex_hash(read_file(path)), ".pcm", &cached_path,
                       [&](const std::string &to) {
                           RunResult r = run_shell(opus_facts_bin() + " decode " +
                                                   shell_quote(path) + " " + shell_quote(to));
                           err = r.err;
                           return r.status == 0 || r.status == 3;
                       });
    EXPECT_TRUE(made) << err;
    return read_file(cached_path);
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
    int raw = 0;
    waitpid(child.pid, &raw, 0);
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
