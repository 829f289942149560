// What tickstat learns from the steps while it reads: the whole input's figures,
// the second of clock time being filled and the period it belongs to. Each second,
// period and clock event is handed to the run's outputs as it closes.
#pragma once

#include <cstdint>
#include <cstdio>
#include <ctime>

#include "output.h"
#include "periods.h"
#include "records.h"
#include "size_table.h"

// At most this many different step sizes are counted one by one.
constexpr uint32_t kMostSizes = 1 << 16;

// An input from a pipe or a terminal is a live tickgauge, or a recording read through
// one: a live tickgauge cannot deliver clock time faster than time passes. Whatever
// its first read brings may have waited in the pipe, as long as tickgauge ran before
// tickstat read (an unsigned program's first start can take seconds); from then on,
// its clock time runs ahead of tickstat's own clock by at most the whole seconds that
// clock counts in. By more, it is a recording; after kLiveAfter seconds of tickstat's
// clock within that, it is live. An input that ends first is a recording when all of
// it runs that far ahead of tickstat's clock since tickstat started.
constexpr int64_t kMostAhead = 3;
constexpr int64_t kLiveAfter = 2;

// What the input is known to be: until it is known to be live, no record shows a
// clock setting or a time of day.
enum class Pace { undecided, live, recording };

// The period being filled.
struct OpenPeriod {
  int64_t number;  // 0 before the first second closes
  int64_t start;
  int64_t end;
  uint64_t steps;
  int64_t min;
  int64_t max;
  const SizeCount* typical;  // its most frequent size so far, or null
  std::time_t began;
  uint64_t untabled_before;  // the size table's untabled count when it opened
  ClockSettings settings;    // the machine's when it began
  TimerHistory timers;
};

struct Tally {
  uint64_t steps;
  uint64_t backward;  // steps below zero
  uint64_t jumps;     // forward steps of over a second
  int64_t min;        // of the seconds closed and the steps outside them
  int64_t max;
  int64_t elapsed;  // clock time: the sum of the forward steps of a second or less
  SizeTable sizes;  // recent counts are the second's, period counts the period's
  SizeCount* last;  // the entry of the size counted last, the usual next one
  int64_t second;   // the number of the second being filled, from 1
  int64_t second_start;
  int64_t second_end;  // the clock time that completes it
  uint64_t second_steps;
  int64_t second_min;
  int64_t second_max;
  uint64_t second_backward;
  uint64_t second_jumps;
  std::time_t second_began;         // tickstat's own clock at its start, when the input is live
  uint64_t second_untabled_before;  // the size table's untabled count at its start
  OpenPeriod period;
  uint64_t periods;  // periods closed
  LongestPeriods longest;
  const Outputs* outputs;
  std::time_t (*now)();   // tickstat's own clock; null when the input is a file
  std::time_t started;    // that clock when the run began
  bool first_read_taken;  // the first read's lines are counted
  int64_t backlog;        // the clock time they brought
  std::time_t first_read_at;
  Pace pace;
  void (*read_settings)(ClockSettings* settings);  // null when none are read
  ClockSettings settings_at_start;
  ClockSettings settings;       // the last reading
  ClockSettings settings_told;  // the last the outputs were told of, whose changes they get
};

// The one tally of this run, emptied; now is tickstat's own clock, read while the input
// comes from a pipe or a terminal, else null: a file is a recording.
Tally* start_tally(const Outputs* outputs, std::time_t (*now)());

// Reads the machine's clock settings through read now, at each boundary of the seconds
// of clock time and at the end of the input, handing each change to the outputs.
void read_settings_each_second(Tally* tally, void (*read)(ClockSettings* settings));

// Says that the lines of the input's first read are counted: the clock time they
// brought may have waited in the pipe, and only what comes after must keep pace.
void take_first_read(Tally* tally);

// Counts one step; closes the second it completes, and hands a step that sets the
// clock (backwards, or forward by over a second) to the outputs at once.
void take_step(Tally* tally, int64_t units);

// Closes the second being filled, if it holds a step or a clock event, as partial, reads
// the settings a last time, and closes the last period.
void close_tally(Tally* tally);
