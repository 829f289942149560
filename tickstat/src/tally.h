// What tickstat learns from the steps while it reads, and the live lines it prints.
#pragma once

#include <cstdint>
#include <cstdio>

#include "size_table.h"

// At most this many different step sizes are counted one by one.
constexpr uint32_t kMostSizes = 1 << 16;

// The whole input's figures, and the second of clock time being filled.
struct Tally {
  uint64_t steps;
  uint64_t backward;  // steps below zero
  uint64_t jumps;     // forward steps of over a second
  int64_t min;        // of the seconds closed and the steps outside them
  int64_t max;
  int64_t elapsed;     // clock time: the sum of the forward steps of a second or less
  SizeTable sizes;     // its recent counts are those of the second being filled
  SizeCount* last;     // the entry of the size counted last, the usual next one
  int64_t second;      // the number of the second being filled, from 1
  int64_t second_end;  // the clock time that completes it
  uint64_t second_steps;
  int64_t second_min;
  int64_t second_max;
};

// The one tally of this run, emptied.
Tally* start_tally();

// Counts one step; prints a second's line when the step completes it, and a line
// of its own for a step backwards or a jump of over a second.
void take_step(Tally* tally, int64_t units, FILE* out);

// Prints the line of the second being filled, if it holds a step, marked partial,
// and counts it into the tally's extremes.
void close_partial_second(Tally* tally, FILE* out);
