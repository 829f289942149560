#include "clock_settings.h"

#include <sys/timex.h>

namespace {

ClockSettings read_kernel_state() {
  timex state = {};  // modes 0: reads only, and needs no privilege
  const int status = adjtimex(&state);
  ClockSettings settings = {};
  if (status == -1) return settings;
  settings.has_sync = true;
  settings.synchronised = status != TIME_ERROR && (state.status & STA_UNSYNC) == 0;
  // freq is in ppm with 16 binary places.
  settings.frequency_ppb = static_cast<int64_t>(state.freq) * 1000 / 65536;
  settings.error_us = state.esterror;
  return settings;
}

}  // namespace

void read_clock_settings_now(ClockSettings* settings) { *settings = read_kernel_state(); }
