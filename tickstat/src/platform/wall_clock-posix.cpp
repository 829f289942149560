#include "wall_clock.h"

std::time_t wall_clock_now() { return std::time(nullptr); }

void local_time_of(std::time_t moment, std::tm* local) { localtime_r(&moment, local); }
