// tickclocks' own text for durations, rates and counts: ASCII, the same on every
// platform, a full stop for the decimal point.
#pragma once

#include <cstdint>

// A duration to five significant digits in ns, us, ms or s, without trailing zeros:
// "15.625 ms", "976.56 us", "100 ns".
const char* format_duration(double ns, char (&text)[32]);

// A measured cost to three significant digits: "24.3 ns", "1.25 us".
const char* format_cost(double ns, char (&text)[32]);

// A rate against the reference: "+12.3 ppm", "0.0 ppm"; from 1000 ppm on in per cent,
// "-100.00%".
const char* format_rate(double ppm, char (&text)[32]);

// A count, exact below a million, "12.3M" from there.
const char* format_count(uint64_t count, char (&text)[32]);
