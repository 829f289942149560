// tickstat's own clock, once per platform: the time of day as this machine keeps it.
#pragma once

#include <ctime>

// The wall clock now, in whole seconds.
std::time_t wall_clock_now();

// The local date and time of a moment of the wall clock.
void local_time_of(std::time_t moment, std::tm* local);
