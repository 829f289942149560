// Reading one line of tickgauge's output.
#pragma once

#include <cstdint>

#include "records.h"

// 100-ns units in one second, the largest step that counts into a second.
constexpr int64_t kUnitsPerSecond = 10000000;

// When the line at p is a step line ("-?digits.dddd ms", LF or CR LF), stores its size
// in 100-ns units and returns where the next line starts; else null. Sizes too large
// for 64 bits are not steps. The text must end in '\n' so the parse cannot run off it.
const char* parse_step_line(const char* p, int64_t* units);

// Writes units as milliseconds with four decimals ("-12.3456"), exactly; returns text.
const char* format_ms(int64_t units, char (&text)[32]);

// Writes units as seconds with seven decimals ("12.3456789"), exactly; returns text.
const char* format_seconds(int64_t units, char (&text)[32]);

// Writes part of whole as a per cent with one decimal, rounded half up ("66.7"); returns text.
const char* format_share(uint64_t part, uint64_t whole, char (&text)[32]);

// Writes units of clock time as hours, minutes and whole seconds ("1:02:03"); returns text.
const char* format_clock(int64_t units, char (&text)[32]);

// "s" after any count but one, to end its noun: "1 step", "2 steps"; returns "" for one.
const char* plural(uint64_t count);

// Writes a period's figures as its line and the picture's title give them ("period 2:
// 1:00:00 to 2:00:00 (1:00:00), 9 steps, typical 0.9766 ms ( 62.5%), min ..., max ..."); returns
// text.
const char* format_period(const PeriodRecord& period, char (&text)[256]);
