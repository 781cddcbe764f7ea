#include "input/input_end.h"

#include "input/ogg_pages.h"

#ifndef _WIN32
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

bool input_cut_short(DescriptorInput *input) {
    if (input->fd < 0) {
        return false;
    }
    if (input->keeps_tail) {
        return !kept_tail_ends_with_whole_page(&input->tail, input->block);
    }
    // The last bytes of the file, read where they are: the descriptor's
    // position is left alone. The read-ahead block is no longer needed.
    struct stat file {};
    if (fstat(input->fd, &file) != 0 || !S_ISREG(file.st_mode) || file.st_size <= input->base) {
        return false;
    }
    int64_t length = file.st_size - input->base;
    size_t tail = length < OGG_TAIL_SIZE ? static_cast<size_t>(length) : OGG_TAIL_SIZE;
    size_t done = 0;
    while (done < tail) {
        ssize_t got = pread(input->fd, input->block + done, tail - done,
                            static_cast<off_t>(file.st_size - static_cast<int64_t>(tail - done)));
        if (got <= 0 && !(got == -1 && errno == EINTR)) {
            return false;
        }
        if (got > 0) {
            done += static_cast<size_t>(got);
        }
    }
    input->next = input->end = 0;
    return !ends_with_whole_page(input->block, tail);
}

#else

bool input_cut_short(DescriptorInput *input) {
    return input->fd >= 0 && input->keeps_tail &&
           !kept_tail_ends_with_whole_page(&input->tail, input->block);
}

#endif

bool stream_ended_cut_short(DescriptorInput *input) {
    return input->keeps_tail && input->ended && input_cut_short(input);
}
