// The clock step monitors: each polls one system-time call and prints the size of
// every change after the first, in milliseconds, until the process is stopped.
#pragma once

#include <cstdint>

// The exit status of a run whose output could not be written: its reader has gone
// or the disk is full.
constexpr int kLostOutputStatus = 2;

// Prints one step of 100-ns units as a monitor does (unless quiet and not below zero);
// ends the process with kLostOutputStatus when the line cannot be written.
void report_step(int64_t step);

// Watches GetSystemTimeAsFileTime; never returns.
[[noreturn]] void run_file_time_monitor();

// Watches GetSystemTime, comparing whole records; never returns.
[[noreturn]] void run_system_time_monitor();
