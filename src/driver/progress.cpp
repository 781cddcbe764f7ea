#include "driver/decode_session.h"
#include "report/number_format.h"

#include <cinttypes>
#include <cstdio>

void start_pcm_tracking(DecodeSession &session) {
    session.pcm_offset = op_pcm_tell(session.decoder);
    if (session.pcm_offset != 0) {
        fprintf(stderr, "Non-zero starting PCM offset: %" PRId64 "\n", session.pcm_offset);
    }
    session.last_bitrate = 0;
    session.last_progress_offset = session.pcm_offset - PROGRESS_INTERVAL;
    session.previous_link = -1;
}

void rebase_link_offset(DecodeSession &session, int link, int samples) {
    // The position at which the block just read starts.
    session.pcm_offset = op_pcm_tell(session.decoder) - samples;
    if (session.pcm_offset != 0) {
        fprintf(stderr, "Non-zero starting PCM offset in link %i: %" PRId64 "\n", link,
                session.pcm_offset);
    }
}

bool progress_due(const DecodeSession &session, bool link_changed) {
    return link_changed || session.pcm_offset >= session.last_progress_offset + PROGRESS_INTERVAL;
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
    int64_t expected = session.pcm_offset + samples;
    int64_t position = op_pcm_tell(session.decoder);
    if (expected != position) {
        fprintf(stderr, "\nPCM offset gap! %" PRId64 "+%i!=%" PRId64 "\n", session.pcm_offset,
                samples, position);
    }
    session.pcm_offset = position;
}
