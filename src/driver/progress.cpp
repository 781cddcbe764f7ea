#include "driver/progress.h"
#include "report/number_format.h"

#include <cinttypes>
#include <cstdint>
#include <cstdio>

void start_pcm_tracking(DecodeSession &session) {
    session.pcm_offset = op_pcm_tell(session.decoder);
    // The library counts every input's position from its own start, so this
    // is 0 for every input seen so far; a link's own start, below, is not.
    if (session.pcm_offset != 0) {
        fprintf(stderr, "Non-zero starting PCM offset: %" PRId64 "\n", session.pcm_offset);
    }
    session.last_bitrate = 0;
    // One interval before the start, so that the first block gets a line;
    // a start within one interval of the lowest position saturates there.
    session.last_progress_offset = session.pcm_offset >= INT64_MIN + PROGRESS_INTERVAL
                                       ? session.pcm_offset - PROGRESS_INTERVAL
                                       : INT64_MIN;
    session.previous_link = -1;
}

void rebase_link_offset(DecodeSession &session, int link, int samples) {
    // The position at which the block just read starts. The decoder's
    // position is never below -2^31 (an error code at worst), so this cannot
    // overflow.
    session.pcm_offset = op_pcm_tell(session.decoder) - samples;
    if (session.pcm_offset != 0) {
        fprintf(stderr, "Non-zero starting PCM offset in link %i: %" PRId64 "\n", link,
                session.pcm_offset);
    }
}

// The distance from the last progress position, without overflow whatever
// positions a crafted stream claims: negative distances never make a line
// due, and a non-negative one fits in 64 unsigned bits.
bool progress_due(const DecodeSession &session, bool link_changed) {
    if (link_changed) {
        return true;
    }
    if (session.pcm_offset < session.last_progress_offset) {
        return false;
    }
    uint64_t distance = static_cast<uint64_t>(session.pcm_offset) -
                        static_cast<uint64_t>(session.last_progress_offset);
    return distance >= static_cast<uint64_t>(PROGRESS_INTERVAL);
}

void show_progress(DecodeSession &session) {
    session.last_progress_offset = session.pcm_offset;
    opus_int32 bitrate = op_bitrate_instant(session.decoder);
    if (bitrate < 0) {
        bitrate = session.last_bitrate;
    }
    int64_t position = op_raw_tell(session.decoder);
    fprintf(stderr, "\r ");
    show_scaled(stderr, position, 0, "");
    fprintf(stderr, "  ");
    show_duration(stderr, session.pcm_offset, 0);
    fprintf(stderr, "  (");
    show_scaled(stderr, bitrate, 1, " ");
    // 20 blanks wipe what is left of a longer earlier line.
    fprintf(stderr, "bps)                    \r");
    fflush(stderr);
    session.last_bitrate = bitrate;
}

void check_pcm_continuity(DecodeSession &session, int samples) {
    int64_t position = op_pcm_tell(session.decoder);
    // position == pcm_offset + samples, computed without the sum: samples is
    // never negative here.
    bool continuous = position >= session.pcm_offset &&
                      static_cast<uint64_t>(position) - static_cast<uint64_t>(session.pcm_offset) ==
                          static_cast<uint64_t>(samples);
    if (!continuous) {
        fprintf(stderr, "\nPCM offset gap! %" PRId64 "+%i!=%" PRId64 "\n", session.pcm_offset,
                samples, position);
    }
    session.pcm_offset = position;
}
