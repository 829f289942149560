// Reading one line of tickgauge's output: a step, or something to skip.
#pragma once

#include <cstdint>

// When the line at p is a step line ("-?digits.dddd ms", LF or CR LF), stores its size
// in 100-ns units and returns where the next line starts; else null. Sizes too large
// for 64 bits are not steps. The text must end in '\n' so the parse cannot run off it.
const char* parse_step_line(const char* p, int64_t* units);
