// What the reading hands to each output: every second of clock time as it
// closes, every period as it ends, and every step that set the clock.
#pragma once

#include <cstdint>
#include <ctime>

#include "clock_settings.h"

// One second of clock time: the forward steps of a second or less whose sum ends in it.
struct SecondRecord {
  int64_t number;          // from 1
  int64_t start;           // clock time at its start, in 100-ns units
  int64_t end;             // clock time at its last step
  uint64_t steps;          // forward steps of a second or less
  bool has_typical;        // false when steps the full size table missed might outnumber it
  int64_t typical;         // the most frequent size, the smaller on a tie
  uint64_t typical_count;  // how many of its steps had that size
  // min and max are INT64_MAX and INT64_MIN in a second of clock events alone.
  int64_t min;
  int64_t max;
  uint64_t backward;     // steps below zero read while it was filled
  uint64_t jumps;        // forward steps of over a second read while it was filled
  bool partial;          // the input ended before it was full
  int64_t period;        // the number of the period it belongs to, from 1; 0 if none yet
  int64_t period_start;  // clock time at that period's start
  // The machine's when it began; none are known when the input is not live.
  ClockSettings settings;
};

// The timer intervals read while a period lasted, from its first second's start to its
// last second's end, many times a second.
struct TimerHistory {
  int count;        // distinct intervals in seen; 0 when none was read
  int64_t seen[4];  // in the order they first came
  bool more;        // more distinct intervals came than seen holds
  int64_t first;    // the first reading and the last
  int64_t last;
  uint64_t changes;  // readings that differed from the one before
  bool sparse;       // some stretch of its clock time had no reading: a change may be missed
};

// Consecutive seconds whose typical step stays the same.
struct PeriodRecord {
  int64_t number;  // from 1
  int64_t start;   // clock time, in 100-ns units
  int64_t end;
  uint64_t steps;
  bool has_typical;
  int64_t typical;  // the most frequent size over the whole period
  uint64_t typical_count;
  int64_t min;
  int64_t max;
  std::time_t began;  // the time of day its start was read at, or 0 when the input is not live
  // The machine's when it began, and its timer intervals while it lasted; none are
  // known when the input is not live.
  ClockSettings settings;
  TimerHistory timers;
};

// A step that set the clock rather than measured time: below zero, or over a second.
struct ClockEvent {
  int64_t units;
  int64_t at;  // clock time when it was read
};

// A word for the person watching about how the input is read, told once.
struct Notice {
  const char* text;  // one line, without its line end
};

// The timer interval changed, or time synchronisation started or stopped.
struct SettingsChange {
  ClockSettings before;
  ClockSettings after;
  int64_t at;        // clock time when it was read
  std::time_t when;  // the time of day then
};
