#include "clock_settings.h"

#include <sys/timex.h>

void read_clock_settings_now(ClockSettings* settings) {
  timex state = {};  // modes 0: reads only, and needs no privilege
  const int status = adjtimex(&state);
  *settings = status == -1
                  ? ClockSettings{}
                  : kernel_clock_settings(status == TIME_ERROR, (state.status & STA_UNSYNC) != 0,
                                          state.freq, state.esterror);
}
