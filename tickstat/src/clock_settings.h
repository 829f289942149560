// What the machine tickstat runs on says about its clock, once per platform.
#pragma once

#include <cstdint>

// The machine's clock settings; each group is left out (its has_ false) where the
// platform does not tell it.
struct ClockSettings {
  bool has_timer;  // the timer intervals, from Windows
  int64_t timer;   // the timer interval now, in 100-ns units
  int64_t finest;  // the finest and the coarsest intervals the system allows
  int64_t coarsest;
  bool has_adjustment;     // Windows' time adjustment
  bool adjusting;          // time synchronisation adjusts the clock's rate
  int64_t adjustment_ppb;  // by how much, in parts per billion; 0 when not adjusting
  bool has_sync;           // the kernel's time-keeping state, from Linux
  bool synchronised;
  int64_t frequency_ppb;  // the kernel's frequency offset, in parts per billion
  int64_t error_us;       // its estimated error, in microseconds
};

// The settings now, read again at most once a second of tickstat's own clock:
// within the same second, the last reading.
void read_clock_settings(ClockSettings* settings);
