// The program's entry.
#pragma once

// The whole program: what main returns. May also end the process by the
// signal that interrupted the run.
int opus2wav_main(int argc, char **argv);
