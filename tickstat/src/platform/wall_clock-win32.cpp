#include "wall_clock.h"

std::time_t wall_clock_now() { return std::time(nullptr); }

// msvcrt's localtime keeps its result per thread, and tickstat reads the time on one.
void local_time_of(std::time_t moment, std::tm* local) {
  const std::tm* converted = std::localtime(&moment);  // NOLINT(concurrency-mt-unsafe)
  *local = converted != nullptr ? *converted : std::tm{};
}
