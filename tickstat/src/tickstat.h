// tickstat: reads tickgauge's step lines and tells what the clock's step is.
#pragma once

#include "machine.h"

// Reads in to its end, printing a line per period of clock time and then a summary
// to out; returns the exit status: 0; 1 after a usage error, a refused output file, a
// read error or anything that could not be written; 2 with no step line in the input.
int run_tickstat(int argc, char* argv[], const Streams& streams, const Machine& machine);
