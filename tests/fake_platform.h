// A scripted stand-in for the platform layer: the clocks step exactly as a test
// says, and a monitor ends when its script runs out.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/platform.h"

namespace fake {

// Thrown by a clock read past the end of its script; ends a monitor that never returns.
struct ScriptEnded {};

// What the emulation lookups answer.
struct Emulation {
  bool has_kernel32 = false;
  bool has_wow64_call = false;
  UINT directory_result = 0;
  DWORD last_error = 0;
};

// Everything the fake was told and everything it saw.
struct State {
  std::vector<uint64_t> file_times;
  std::vector<SYSTEMTIME> system_times;
  long long frequency = 0;  // 0: no counter
  std::vector<long long> counts;
  Emulation emulation;
  size_t file_time_reads = 0;
  size_t system_time_reads = 0;
  size_t counter_reads = 0;
  int conversions = 0;
  int module_lookups = 0;
  int function_lookups = 0;
  int wow64_calls = 0;
  UINT wow64_buffer_size = 0;
};

// The fake's state; reset() before each test.
State& state();
void reset();

// A record of 2026-12-07 at the given time of day.
SYSTEMTIME at(WORD hour, WORD minute, WORD second, WORD milliseconds);

}  // namespace fake
