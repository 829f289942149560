// A scripted machine for the tests: clocks that step, go back, disagree across
// processors, are missing or stop exactly as a case says, in a world whose time moves
// only by what is read and waited.
#pragma once

#include <cstdint>

#include "machine.h"

// One scripted clock, in ns; its value is the world's time, stepped, set back and stopped.
struct ScriptedClock {
  const char* name;
  int64_t step_ns = 1;     // the value moves in steps of this
  int64_t cost_ns = 1000;  // each read moves the world's time on by this
  double stated_ns = 0;
  int64_t back_at_ns = 0;  // from this time of the run on it reads back_by_ns less; 0 never
  int64_t back_by_ns = 0;
  int64_t stop_at_ns = 0;         // from this time of the run on it stands still; 0 never
  int64_t processor1_lag_ns = 0;  // readings on processor 1 lag by this
  int64_t late_every = 0;         // every so many steps one comes late, with the next
  int64_t pause_every_ns = 0;     // the poller is paused after a read once in each of these
  int64_t pause_ns = 0;           // for this long
  int64_t stale_ns = 0;           // after which it shows its value from before for this long
  ClockKind kind = kInterval;
  bool present = true;
  bool follows_timer = false;  // stated by the scripted timer interval instead
};

// Sets the world up anew with these clocks; the timer interval starts at 15.625 ms and
// Ctrl+C comes at stop_at_ns of the run (0: never).
void script_machine(const ScriptedClock* clocks, int count, int64_t stop_at_ns);

// The scripted machine; its waits, Sleep(1) and Sleep(1) with the finest timer asked, and
// a high-resolution timer it lacks.
Machine scripted_machine();

// Whether the finest timer is still asked for: it must never be after a run.
bool scripted_timer_held();
