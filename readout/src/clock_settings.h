// What the machine says about its clock: the timer intervals, time adjustment and
// synchronisation, read the same way for every companion, and their text.
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
  int64_t error_us;       // its estimated error, in microseconds; none unless synchronised
};

// The settings that Linux's time state gives: whether adjtimex answered TIME_ERROR and
// whether STA_UNSYNC is set (either says not synchronised), the frequency offset in ppm
// with 16 binary places, and the estimated error in microseconds.
ClockSettings kernel_clock_settings(bool time_error, bool unsync_set, int64_t frequency,
                                    int64_t error_us);

// The settings now, straight from the system; one file per platform.
void read_clock_settings_now(ClockSettings* settings);

// The settings now, read again at most once a second of the wall clock: within the
// same second, the last reading.
void read_clock_settings(ClockSettings* settings);

// The settings as lines name them ("timer 15.6250 ms, time adjustment off"), "" when
// none is known; with_range adds the finest and coarsest intervals. Returns text.
const char* describe_settings(const ClockSettings& settings, bool with_range, char (&text)[192]);

// Windows' time adjustment as the lines show it: "off", or its rate ("+6.400 ppm").
const char* describe_adjustment(const ClockSettings& settings, char (&text)[32]);

// A rate as the lines show it, with its sign ("+6.400 ppm"); returns text.
const char* signed_ppm(int64_t ppb, char (&text)[32]);
