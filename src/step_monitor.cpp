#include "step_monitor.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "clock_poll.h"
#include "options.h"
#include "platform/platform.h"

namespace {

// Current minus previous in 100-ns units; wraps rather than overflows.
int64_t file_time_step(const FILETIME& current, const FILETIME& previous) {
  return static_cast<int64_t>(file_time_units(current) - file_time_units(previous));
}

int64_t system_time_step(const SYSTEMTIME& current, const SYSTEMTIME& previous) {
  // Zeroed so that a record the conversion refuses gives a defined value.
  FILETIME current_file_time = {0, 0};
  FILETIME previous_file_time = {0, 0};
  SystemTimeToFileTime(&current, &current_file_time);
  SystemTimeToFileTime(&previous, &previous_file_time);
  return file_time_step(current_file_time, previous_file_time);
}

void wait_for_file_time_change(FILETIME* current, const FILETIME& previous) {
  while (!file_time_changed(current, previous)) {
  }
}

void wait_for_system_time_change(SYSTEMTIME* current, const SYSTEMTIME& previous) {
  while (!system_time_changed(current, previous)) {
  }
}

}  // namespace

void report_step(int64_t step) {
  if (option_quiet && step >= 0) return;
  char line[64];  // the longest, the line of INT64_MIN units, is 25 bytes
  const int length = snprintf(line, sizeof line, "%.4f ms\n", static_cast<double>(step) / 10000.0);
  // Nobody reads any more, or the disk is full: stop rather than spin on a core for ever.
  if (!write_standard_output_line(line, static_cast<size_t>(length))) exit(kLostOutputStatus);
}

void run_file_time_monitor() {
  FILETIME previous;
  FILETIME current;
  GetSystemTimeAsFileTime(&previous);
  wait_for_file_time_change(&current, previous);  // the first change is not a whole step
  previous = current;
  for (;;) {
    wait_for_file_time_change(&current, previous);
    report_step(file_time_step(current, previous));
    previous = current;
  }
}

void run_system_time_monitor() {
  SYSTEMTIME previous;
  SYSTEMTIME current;
  GetSystemTime(&previous);
  wait_for_system_time_change(&current, previous);  // the first change is not a whole step
  previous = current;
  for (;;) {
    wait_for_system_time_change(&current, previous);
    report_step(system_time_step(current, previous));
    previous = current;
  }
}
