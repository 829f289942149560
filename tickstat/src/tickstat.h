// tickstat: reads tickgauge's step lines and tells what the clock's step is.
#pragma once

#include <cstdio>

// Reads in to its end, printing a line per second of clock time and then a
// summary to out; returns the exit status (0, 1 after a usage error, 2 with no step).
int run_tickstat(int argc, char* argv[], FILE* in, FILE* out, FILE* err);
