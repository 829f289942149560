// One run of tickclocks: the clocks and waits it measured and what it found.
#pragma once

#include <cstdint>

#include "figures.h"
#include "machine.h"

constexpr int kLineWidth = 79;  // every line fits an 80-column console

// Everything the table, the answers, the notes and the CSV are made from.
struct Run {
  Clock clocks[kMostClocks];
  ClockFigures figures[kMostClocks];
  int clock_count;
  bool waits_asked;  // false with --clock: a run of one clock measures no wait
  Wait waits[kMostWaits];
  WaitFigures wait_figures[kMostWaits];
  int wait_count;
  ClockSettings settings;  // at the start
  int processors;
  const char* reference_name;
  int64_t took_ns;
  bool interrupted;  // Ctrl+C or a signal ended it early
};
