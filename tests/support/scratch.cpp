// The run's scratch folder, the temporary folders of a test, and the inputs
// made once per run with their reference decodes.
#include "run.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include <fcntl.h>
#include <ftw.h>
#include <sys/file.h>
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

std::string servers_root() {
    if (scratch().run_root.empty()) {
        return "";
    }
    std::string root = read_file(scratch().run_root + "/servers-root");
    return root.substr(0, root.find('\n'));
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
