// What a run found out about each clock and each wait: the figures the table, the
// answers, the notes and the CSV are made from.
#pragma once

#include <cstdint>

// A reading of a clock between two readings of the reference (ns): the clock showed
// value at a moment from before_ns to after_ns.
struct Reading {
  int64_t value;
  int64_t before_ns;
  int64_t after_ns;
  bool seen;
};

constexpr int kMostMarks = 24;
// A rate uncertain by this much (10%) says nothing of a clock: the run was too short.
constexpr double kLoosestRatePpm = 1e5;
// Fewer whole steps than this tell what a clock's steps are like, but not what its step is.
constexpr uint64_t kLeastStepsToJudge = 8;

// One clock's figures; durations in the clock's own ticks unless named _ns.
struct ClockFigures {
  double read_ns;            // the median read cost over many timed batches
  double stated_ns;          // the resolution the system states, 0 where none
  int64_t ticks_per_second;  // as the system says, or as found against the reference
  uint64_t steps;            // whole steps seen while polling, each pinned to one short window
  int64_t typical;           // the most frequent step; 0 where none was seen
  int64_t smallest;
  uint64_t backward;  // steps back seen in one thread
  int64_t largest_backward;
  uint64_t across_compared;  // readings compared with the other thread's
  uint64_t across_backward;  // of them, readings earlier than the other thread's before
  int64_t largest_across;    // by how much, at most
  Reading first;             // its first change while polling, where the rate starts
  Reading changed;           // its last change while polling
  Reading
      marks[kMostMarks];  // a reading after each part of the run since; the rate ends at the last
  int mark_count;
  int64_t polled_ns;            // how long it was polled for steps
  int64_t stopped_for_ns;       // how long it did not change at the end of the run
  double rate_ppm;              // its rate against the reference, from first to the last mark
  double rate_uncertainty_ppm;  // how far off it may be: the windows of both and a step
  double jump_ns;               // how far it jumped against the reference once; 0 for none
  bool measured;                // false where the run ended before this clock
  bool ticks_found;             // ticks_per_second was found against the reference
  bool across_measured;         // two threads on two processors compared readings
  bool stopped;  // it did not change for two of its steps or more at the end of the run
  bool has_rate;
};

// A count of a clock's ticks in ns; 0 where its ticks per second are not known.
double ticks_ns(const ClockFigures& figures, int64_t ticks);

// What one kind of 1 ms wait really took.
struct WaitFigures {
  bool measured;        // false where the run ended before it, or it was refused
  bool refused;         // the system refused what it needs (a finer timer)
  const char* setting;  // "timer", "slack", or null where not known
  int64_t setting_ns;   // the setting while waiting
  int waits;
  int64_t median_ns;
  int64_t p99_ns;
};
