// One polling step of each step monitor: a read and a comparison, nothing more.
// The monitors and the benchmark both use these, so what is measured is what runs.
#pragma once

#include <cstring>

#include "platform/platform.h"

// Reads GetSystemTimeAsFileTime into current; true when it differs from previous.
inline bool file_time_changed(FILETIME* current, const FILETIME& previous) {
  GetSystemTimeAsFileTime(current);
  return current->dwLowDateTime != previous.dwLowDateTime ||
         current->dwHighDateTime != previous.dwHighDateTime;
}

// Reads GetSystemTime into current; true when any of its 16 bytes differs from previous.
inline bool system_time_changed(SYSTEMTIME* current, const SYSTEMTIME& previous) {
  GetSystemTime(current);
  return std::memcmp(current, &previous, sizeof(SYSTEMTIME)) != 0;
}
