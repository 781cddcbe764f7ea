#include "input/descriptor_input.h"

#include "signals/interrupts.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#ifndef _WIN32
#include "startup/standard_streams.h"

#include <poll.h>
#include <unistd.h>
#define o2w_read read
#define o2w_lseek lseek
#define o2w_close close
using read_size = ssize_t;
#else
#include <io.h>
#define o2w_read _read
#define o2w_lseek _lseeki64
#define o2w_close _close
using read_size = int;
#endif

namespace {

// One read of up to count bytes into bytes: what arrived, 0 at the end, -1
// on an error or once the run has been asked to stop.
int read_descriptor(int fd, unsigned char *bytes, int count) {
    for (;;) {
        // An interrupt that came while the report or a write was under way is
        // not waited for in a read that may never return.
        if (interrupt_signal() != 0) {
            return -1;
        }
        read_size got = o2w_read(fd, bytes, static_cast<unsigned>(count));
        if (got >= 0) {
            return static_cast<int>(got);
        }
#ifndef _WIN32
        if (would_block(errno)) {
            wait_for_descriptor(fd, POLLIN);
            continue;
        }
#endif
        if (errno != EINTR) {
            return -1;
        }
    }
}

// A read of the descriptor whose last bytes are kept when the input cannot
// seek.
int read_followed(DescriptorInput *input, unsigned char *bytes, int count) {
    int got = read_descriptor(input->fd, bytes, count);
    if (got == 0) {
        input->ended = true;
    }
    if (got > 0 && input->keeps_tail) {
        keep_tail(&input->tail, bytes, static_cast<size_t>(got));
    }
    return got;
}

int read_input(void *stream, unsigned char *bytes, int count) {
    auto *input = static_cast<DescriptorInput *>(stream);
    if (input->next == input->end) {
        // A large request goes straight to the descriptor.
        if (count >= INPUT_BLOCK_SIZE) {
            return read_followed(input, bytes, count);
        }
        int got = read_followed(input, input->block, INPUT_BLOCK_SIZE);
        if (got <= 0) {
            return got;
        }
        input->next = 0;
        input->end = got;
    }
    int take = input->end - input->next < count ? input->end - input->next : count;
    memcpy(bytes, input->block + input->next, static_cast<size_t>(take));
    input->next += take;
    return take;
}

// Offsets are the library's, counted from the input's start; the bytes read
// ahead are dropped.
int seek_input(void *stream, opus_int64 offset, int whence) {
    auto *input = static_cast<DescriptorInput *>(stream);
    if (whence == SEEK_SET) {
        offset += input->base;
    } else if (whence == SEEK_CUR) {
        offset -= input->end - input->next;
    }
    opus_int64 at = o2w_lseek(input->fd, offset, whence);
    if (at == -1) {
        return -1;
    }
    input->next = input->end = 0;
    return at < input->base ? -1 : 0;
}

opus_int64 tell_input(void *stream) {
    auto *input = static_cast<DescriptorInput *>(stream);
    opus_int64 at = o2w_lseek(input->fd, 0, SEEK_CUR);
    return at == -1 ? -1 : at - input->base - (input->end - input->next);
}

int close_input(void *stream) {
    close_descriptor_input(static_cast<DescriptorInput *>(stream));
    return 0;
}

} // namespace

void descriptor_callbacks(OpusFileCallbacks *callbacks) {
    callbacks->read = read_input;
    callbacks->seek = seek_input;
    callbacks->tell = tell_input;
    callbacks->close = close_input;
}

void start_descriptor_input(DescriptorInput *input, int fd, bool owned) {
    static unsigned char block[INPUT_BLOCK_SIZE];
    static unsigned char ring[OGG_TAIL_SIZE];
    input->block = block;
    input->fd = fd;
    input->owned = owned;
    opus_int64 at = o2w_lseek(fd, 0, SEEK_CUR);
    input->base = at > 0 ? at : 0;
    input->next = input->end = 0;
    input->keeps_tail = at == -1;
    input->ended = false;
    input->tail = PageTail{};
    input->tail.ring = ring;
}

bool restart_as_stream(DescriptorInput *input) {
    if (input->fd < 0 || input->keeps_tail || o2w_lseek(input->fd, input->base, SEEK_SET) == -1) {
        return false;
    }
    input->next = input->end = 0;
    input->keeps_tail = true;
    input->ended = false;
    input->tail.seen = 0;
    return true;
}

void close_descriptor_input(DescriptorInput *input) {
    if (input->owned && input->fd >= 0) {
        o2w_close(input->fd);
    }
    input->fd = -1;
    input->owned = false;
}
