// The summary tickstat prints at the end of its input.
#pragma once

#include <cstdio>

#include "tally.h"

// Prints the step count, clock time, most frequent sizes and percentiles.
void print_summary(const Tally& tally, FILE* out);
