// The --csv file: a row per clock and a row per wait, every figure in its own column.
#pragma once

#include <cstdio>

#include "run.h"

// The header row, without its line end.
extern const char kCsvHeader[];

// Writes the header and every row into csv, each line ending in CR LF; false when the
// file could not take all of it.
bool write_csv(const Run& run, FILE* csv);
