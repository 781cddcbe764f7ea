// The library's callbacks on a real pipe and a real file, also where the
// library itself never takes them: reads larger than the read-ahead block,
// a seek before the input's start, a position asked of a pipe; and whether
// an input ends with a whole page, judged as it was read or from its tail.
#include "input/descriptor_input.h"
#include "input/input_end.h"
#include "output/output.h"
#include "test_pages.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

// Three pages of 51 KB: more than the read-ahead block.
const std::string WHOLE = page(std::string(200, '\xff')) + page(std::string(200, '\xff')) +
                          page(std::string(200, '\xff'));

// Everything the callbacks give, in reads of size bytes.
std::string read_all(DescriptorInput *input, int size) {
    OpusFileCallbacks callbacks{};
    descriptor_callbacks(&callbacks);
    std::string all;
    std::string buffer(static_cast<size_t>(size), '\0');
    int got;
    while ((got = callbacks.read(input, reinterpret_cast<unsigned char *>(&buffer[0]), size)) > 0) {
        all.append(buffer, 0, static_cast<size_t>(got));
    }
    EXPECT_EQ(got, 0);
    return all;
}

TEST(DescriptorInput, ThroughAPipe) {
    OpusFileCallbacks callbacks{};
    descriptor_callbacks(&callbacks);
    for (size_t cut : {0, 1}) {
        for (int size : {4096, 2 * INPUT_BLOCK_SIZE}) {
            std::string bytes = WHOLE.substr(0, WHOLE.size() - cut);
            int ends[2];
            ASSERT_EQ(pipe(ends), 0);
            std::thread writer([&] {
                EXPECT_EQ(write(ends[1], bytes.data(), bytes.size()),
                          static_cast<ssize_t>(bytes.size()));
                close(ends[1]);
            });
            DescriptorInput input;
            start_descriptor_input(&input, ends[0], true);
            unsigned char first[10];
            ASSERT_EQ(callbacks.read(&input, first, 10), 10);
            EXPECT_EQ(callbacks.tell(&input), -1) << "a pipe has no position";
            EXPECT_EQ(read_all(&input, size), bytes.substr(10)) << size;
            writer.join();
            EXPECT_EQ(input_cut_short(&input), cut != 0) << cut << " " << size;
            callbacks.close(&input);
        }
    }
}

TEST(DescriptorInput, FromAFilePartWayThrough) {
    OpusFileCallbacks callbacks{};
    descriptor_callbacks(&callbacks);
    const char *tmp = getenv("TMPDIR");
    std::string pattern = std::string(tmp != nullptr ? tmp : "/tmp") + "/o2w-input-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    char *path = name.data();
    int made = mkstemp(path);
    ASSERT_GE(made, 0);
    close(made);
    for (size_t cut : {0, 1}) {
        std::string bytes = WHOLE.substr(0, WHOLE.size() - cut);
        FILE *file = fopen(path, "wb");
        fputs("PRE", file);
        fwrite(bytes.data(), 1, bytes.size(), file);
        fclose(file);
        int fd = open(path, O_RDONLY);
        lseek(fd, 3, SEEK_SET);
        DescriptorInput input;
        start_descriptor_input(&input, fd, true);
        unsigned char first[10];
        ASSERT_EQ(callbacks.read(&input, first, 10), 10);
        EXPECT_EQ(std::string(reinterpret_cast<char *>(first), 10), bytes.substr(0, 10));
        EXPECT_EQ(callbacks.tell(&input), 10);
        // Before the input's start (in the file, or before the file's).
        EXPECT_EQ(callbacks.seek(&input, -12, SEEK_CUR), -1);
        EXPECT_EQ(callbacks.seek(&input, -20, SEEK_CUR), -1);
        EXPECT_EQ(callbacks.seek(&input, 0, SEEK_SET), 0);
        EXPECT_EQ(input_cut_short(&input), cut != 0) << cut;
        EXPECT_EQ(callbacks.tell(&input), 0) << "the tail is read where it is";
        EXPECT_EQ(read_all(&input, 1000), bytes);
        callbacks.close(&input);
        callbacks.close(&input);
    }
    // Nothing to judge: a file read from its end, a device that can seek.
    for (const char *name : {static_cast<const char *>(path), "/dev/zero"}) {
        int fd = open(name, O_RDONLY);
        lseek(fd, 0, SEEK_END);
        DescriptorInput input;
        start_descriptor_input(&input, fd, true);
        EXPECT_FALSE(input_cut_short(&input)) << name;
        close_descriptor_input(&input);
    }
    // The one comparison of a file with standard output, which is made each
    // of them here for a moment.
    int one = open(path, O_RDONLY), again = open(path, O_RDWR), null = open("/dev/null", O_RDWR);
    int saved = dup(STDOUT_FILENO);
    dup2(again, STDOUT_FILENO);
    bool same = output_is_file_of(one) && output_is_file(path);
    dup2(null, STDOUT_FILENO);
    bool other = output_is_file_of(one) || output_is_file(path);
    bool device = output_is_file_of(null);
    dup2(saved, STDOUT_FILENO);
    close(saved);
    EXPECT_TRUE(same);
    EXPECT_FALSE(other);
    EXPECT_FALSE(device) << "only a regular file can be written over";
    close(one);
    close(again);
    close(null);
    unlink(path);
}

} // namespace
