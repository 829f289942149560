#include "wall_clock.h"

namespace {

int64_t units_of(clockid_t clock) {
  struct timespec now = {};
  clock_gettime(clock, &now);
  return static_cast<int64_t>(now.tv_sec) * 10000000 + now.tv_nsec / 100;
}

}  // namespace

int64_t wall_clock_now() { return units_of(CLOCK_REALTIME); }

int64_t steady_clock_now() { return units_of(CLOCK_MONOTONIC); }

void local_time_of(std::time_t moment, std::tm* local) { localtime_r(&moment, local); }
