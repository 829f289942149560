// A live tickgauge on a machine that follows a script, for tickstat's tests and
// tickstat_scripted: the input is handed over a line at a time, as tickgauge prints it,
// and tickstat's own clock and the machine's clock settings move with the clock time of
// the lines handed over, so that a setting can change between any two steps.
#pragma once

#include <cstddef>
#include <cstdint>

#include "machine.h"

// The machine's settings from clock time at (100-ns units of the lines handed over) on.
struct SettingsAt {
  int64_t at;
  ClockSettings settings;
};

// How the world behaves; what it points to lasts the run.
struct WorldScript {
  const SettingsAt* settings;  // in the order of at, the first at 0; none: read none
  size_t count;
  bool at_once = false;  // tickstat's clock stands still, as for a recording read through a pipe
  size_t piece = 0;      // hands over at most this many bytes a read, not a line; 0: a line
  // The clock time the first two reads hand over at once, half each, as from pipes behind
  // a filter that a live tickgauge filled before tickstat read; the world's clock starts
  // after it.
  int64_t backlog = 0;
  // With at_once, the world's clock moves on by this much once the backlog is handed over
  // or the input has ended, as when what feeds a recording into the pipe stops for a while.
  int64_t pause = 0;
  // Without at_once, the clock time handed over for each unit of the world's clock: above
  // 1, a recording fed faster than it was made.
  int64_t speed = 1;
};

// Starts the world over, and returns machine with its reads, clock and settings in place.
Machine scripted_world(const WorldScript& script, Machine machine);
