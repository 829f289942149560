#include "clock_settings.h"

#include <sys/timex.h>

#include <ctime>

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

void read_clock_settings(ClockSettings* settings) {
  static std::time_t read_at = -1;
  static ClockSettings last;
  const std::time_t now = std::time(nullptr);
  if (now != read_at) last = read_kernel_state();
  read_at = now;
  *settings = last;
}
