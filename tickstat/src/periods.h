// When the clock's step changes: seconds with the same typical step form a period.
#pragma once

#include <cstdint>

#include "records.h"

// The longest periods are kept for the summary and the picture; the rest are counted.
constexpr int kKeptPeriods = 10;

// A step of period_step and one of step are the same setting of the timer: step is within
// 10% or 0.01 ms of period_step, the period's typical step. That holds a 1 ms timer's
// 0.9765 and 0.9766 ms, or a fine clock's jitter of microseconds, in one period, and splits 15.625,
// 1 and 0.5 ms.
bool same_timer_step(int64_t period_step, int64_t step);

// The longest periods of a run, in the order they began.
struct LongestPeriods {
  PeriodRecord rows[kKeptPeriods];
  int count;
  uint64_t left_out;  // the shorter periods not kept
};

// Keeps period if it is among the longest so far.
void keep_if_long(LongestPeriods* longest, const PeriodRecord& period);

// Writes a period's figures as its line and the picture's title give them ("period 2:
// 1:00:00.0 to 2:00:00.0 (1:00:00), 9 steps, typical 0.9766 ms (62.5%), min ..., max
// ..."), with began after its length unless that is ""; returns text.
const char* format_period(const PeriodRecord& period, const char* began, char (&text)[256]);
