#include "wall_clock.h"

#include <windows.h>

int64_t wall_clock_now() {
  FILETIME now = {};
  GetSystemTimeAsFileTime(&now);
  const int64_t since_1601 =
      static_cast<int64_t>(static_cast<uint64_t>(now.dwHighDateTime) << 32 | now.dwLowDateTime);
  return since_1601 - 116444736000000000;  // 1601 to 1970, in 100-ns units
}

int64_t steady_clock_now() {
  LARGE_INTEGER count = {}, frequency = {};
  QueryPerformanceCounter(&count);
  QueryPerformanceFrequency(&frequency);
  // In two parts, so that a counter of many MHz does not overflow in days.
  return count.QuadPart / frequency.QuadPart * 10000000 +
         count.QuadPart % frequency.QuadPart * 10000000 / frequency.QuadPart;
}

// msvcrt's localtime keeps its result per thread, and tickstat reads the time on one.
void local_time_of(std::time_t moment, std::tm* local) {
  const std::tm* converted = std::localtime(&moment);  // NOLINT(concurrency-mt-unsafe)
  *local = converted != nullptr ? *converted : std::tm{};
}
