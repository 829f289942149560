// The units the companions count in, 100 ns as the Windows clocks do, and the texts
// they write them as: exact, from integers, with a full stop in every locale.
#pragma once

#include <cstdint>

// 100-ns units in one second.
constexpr int64_t kUnitsPerSecond = 10000000;

// Writes units as milliseconds with four decimals ("-12.3456"), exactly; returns text.
const char* format_ms(int64_t units, char (&text)[32]);

// Writes units as seconds with seven decimals ("12.3456789"), exactly; returns text.
const char* format_seconds(int64_t units, char (&text)[32]);

// Writes part of whole as a per cent with one decimal, rounded half up ("66.7"); returns text.
const char* format_share(uint64_t part, uint64_t whole, char (&text)[32]);

// Writes units of clock time as hours, minutes and whole seconds ("1:02:03"); returns text.
const char* format_clock(int64_t units, char (&text)[32]);

// Writes a moment of clock time as h:mm:ss with tenths, rounded ("1:30:00.0"); returns text.
const char* format_moment(int64_t units, char (&text)[32]);

// Writes the length of clock time from start to end as their moments show it, so that the
// shown end less the shown start is the length: under a minute with tenths ("0:00:02.7"),
// else in whole seconds ("1:00:00"); one that rounds to none as "<0:00:00.1". Returns text.
const char* format_length(int64_t start, int64_t end, char (&text)[32]);

// Writes parts per billion as parts per million with three decimals ("-6.400"); returns text.
const char* format_ppm(int64_t ppb, char (&text)[32]);

// "s" after any count but one, to end its noun: "1 step", "2 steps"; returns "" for one.
const char* plural(uint64_t count);
