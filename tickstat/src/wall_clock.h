// tickstat's own clocks, once per platform: the time of day as this machine keeps it,
// and a steady clock that nobody sets, for how much time passed.
#pragma once

#include <cstdint>
#include <ctime>

// The time of day now, in 100-ns units since 1970-01-01 00:00 UTC.
int64_t wall_clock_now();

// A clock that is never set, in 100-ns units from any start.
int64_t steady_clock_now();

// The local date and time of a moment of the wall clock, in whole seconds.
void local_time_of(std::time_t moment, std::tm* local);
