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
#include "units.h"

// At most this many different step sizes are counted one by one.
constexpr uint32_t kMostSizes = 1 << 16;

// An input from a pipe or a terminal is a live tickgauge, or a recording read through
// one: a live tickgauge cannot deliver clock time faster than time passes. Whatever
// comes within kBacklogFor of tickstat's first read may have waited in the pipes, as
// long as tickgauge ran before tickstat read (an unsigned program's first start can take
// seconds); pipes empty in milliseconds. From then on, the clock time it brings may run
// ahead of tickstat's own steady clock by kMostAhead at most, and 1% of the time passed
// for the clocks' drift; by more, at any time, it is a recording from then on. After
// kStall without input, what comes within kBacklogFor may have waited in a filter's
// buffer: a backlog again. The pace is judged on whole reads only.
constexpr int64_t kBacklogFor = kUnitsPerSecond / 2;
// How far the clock's sets are counted each way: about 7,300 years.
constexpr int64_t kMostSetBy = int64_t{1} << 61;
constexpr int64_t kMostAhead = 3 * kUnitsPerSecond;
constexpr int64_t kStall = kUnitsPerSecond;
// It is live once it has brought this much clock time since its latest backlog, keeping
// pace with tickstat's clock within kBacklogFor and 1%: a recording fed more than about
// 1.15 times as fast as it was made never does. At its end, it is live if what came after
// its latest backlog kept pace; a recording if all of it runs over kBacklogFor ahead of
// tickstat's clock since tickstat started; otherwise nothing is claimed of it.
constexpr int64_t kLiveEvidence = 4 * kUnitsPerSecond;

// The machine's clock settings are read after a read of the input at most this often, so
// that a timer held for long enough to change a second's typical step is always seen;
// at a boundary of seconds at most every kSettingsAtBoundary.
constexpr int64_t kSettingsEvery = kUnitsPerSecond / 50;
constexpr int64_t kSettingsAtBoundary = kUnitsPerSecond / 1000;
// A second with a stretch of more clock time than this between readings is not watched
// densely enough to say that its steps are not the timer interval.
constexpr int64_t kMostUnread = kUnitsPerSecond / 10;

// What the input is known to be: until it is known to be live, no record shows a
// clock setting or a time of day; once it is known to be a recording, none does again.
enum class Pace { undecided, live, recording };

// What a tally reads of the machine while its input is live; all null for a file.
struct LiveSources {
  int64_t (*steady)();                             // tickstat's own steady clock, in 100-ns units
  int64_t (*now)();                                // the time of day, in 100-ns units since 1970
  void (*read_settings)(ClockSettings* settings);  // null: none are read
};

// Changes of the settings read before the input was known to be live, told once it is.
struct PendingChanges {
  SettingsChange list[4];  // a fifth and later are folded into the fourth
  int count;
};

// The period being filled.
struct OpenPeriod {
  int64_t number;  // 0 before the first second closes
  int64_t start;
  int64_t end;
  uint64_t steps;
  int64_t min;
  int64_t max;
  const SizeCount* typical;  // its most frequent size so far, or null
  uint64_t untabled_before;  // the size table's untabled count when it opened
  ClockSettings settings;    // the machine's when it began
  TimerHistory timers;
  int64_t set_before;  // how far the clock was set before it began
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
  uint64_t second_untabled_before;  // the size table's untabled count at its start
  int64_t second_set_before;        // set_by at its start
  ClockSettings second_settings;    // the machine's at its start
  TimerHistory second_timers;       // the timer intervals read while it was filled
  OpenPeriod period;
  uint64_t periods;  // periods closed
  LongestPeriods longest;
  const Outputs* outputs;
  LiveSources live;
  int64_t started;        // tickstat's steady clock when the run began
  bool first_read_taken;  // the input's first read is counted
  int64_t first_read_at;
  int64_t backlog;              // the clock time that came within kBacklogFor of the first read
  int64_t backlog_at;           // tickstat's clock at the last read that brought some of it
  int64_t last_read_at;         // tickstat's clock at the last read
  int64_t latest_backlog_from;  // tickstat's clock at the first read after the latest silence
  int64_t evidence_from;        // the clock time at the last read of the latest backlog
  int64_t evidence_at;          // tickstat's clock then
  int64_t anchor_now;           // the time of day of the last read, whose last line was "now"
  int64_t anchor_clock;         // the clock time it ended at, with set_by then
  int64_t set_by;               // how far the steps that set the clock moved it, forward less back
  Pace pace;
  int64_t settings_read_at;     // tickstat's clock at the last reading
  int64_t settings_read_clock;  // the clock time then
  ClockSettings settings_at_start;
  ClockSettings settings;       // the last reading
  ClockSettings settings_told;  // the last the outputs were told of, whose changes they get
  PendingChanges pending;
};

// The one tally of this run, emptied; live is what it reads of the machine while the
// input comes from a pipe or a terminal: a file is a recording.
Tally* start_tally(const Outputs* outputs, const LiveSources& live);

// Takes the lines of one read of the input as counted: judges the pace, keeps where the
// input stands in time, and reads the settings if they are due, handing a change to the
// outputs.
void take_read(Tally* tally);

// Counts one step; closes the second it completes, and hands a step that sets the
// clock (backwards, or forward by over a second) to the outputs at once.
void take_step(Tally* tally, int64_t units);

// Closes the second being filled, if it holds a step or a clock event, as partial, reads
// the settings a last time, and closes the last period.
void close_tally(Tally* tally);

// The time of day, in whole seconds, that a live input's clock showed at clock time clock,
// which it had been set by set_before.
std::time_t time_of_day_at(const Tally& tally, int64_t clock, int64_t set_before);
