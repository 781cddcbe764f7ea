// The progress line and the continuity checks of the decode loop.
//
// Order of the calls: start_pcm_tracking once before the first read. Then,
// for every read that returned samples >= 0 (holes and errors call nothing):
//   1. at a change of link, on an input that cannot seek only,
//      rebase_link_offset (pcm_offset becomes the start of the block just
//      read);
//   2. progress_due, and show_progress when it is true (always after a
//      change of link);
//   3. check_pcm_continuity, which leaves pcm_offset at the position after
//      the read.
// So pcm_offset is the position before the read in steps 1 and 2, and the
// position after it once step 3 has run.
//
// The progress line starts with "\r " and ends with "\r", no newline, so
// that the next one writes over it. Every other line that may follow it
// directly therefore starts with "\n" (the gap line here, the closing lines
// of the run, the error lines of the loop), and the link heading is padded
// with blanks to write over it instead. The two offset lines here never
// follow it: the first comes before any progress line, the one of a link
// right after that link's block.
#pragma once

#include "driver/decode_session.h"

// Takes the decoder's starting position into pcm_offset (a non-zero one is
// reported) and resets the progress state and previous_link.
void start_pcm_tracking(DecodeSession &session);
// The start of the block just read, at a link change of an unseekable input;
// a non-zero one is reported with the link's index.
void rebase_link_offset(DecodeSession &session, int link, int samples);
// True when a progress line is due: at a change of link, or once
// PROGRESS_INTERVAL samples have passed since the last line.
bool progress_due(const DecodeSession &session, bool link_changed);
// Prints the progress line for pcm_offset and flushes standard error.
void show_progress(DecodeSession &session);
// Reports a gap when the decoder did not advance by exactly samples.
void check_pcm_continuity(DecodeSession &session, int samples);
