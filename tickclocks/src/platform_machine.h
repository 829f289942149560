// What each platform file gives of the machine: its clocks and waits, the reference
// clock and threads. machine.cpp puts them in the seam beside readout's parts.
#pragma once

#include <cstdint>

#include "machine.h"

// Finds the calls that the system may lack; run once, before anything else is asked.
void find_platform_calls();
// The Machine fields of the same names.
int list_clocks(Clock* clocks, int capacity);
int list_waits(Wait* waits, int capacity);
int64_t reference_ns();
extern const char kReferenceName[];
int processors();
void* start_thread(void (*body)(void*), void* argument, int processor);
void join_thread(void* thread);
WaitSetting wait_setting();
