// --csv FILE: one row per second of clock time, written as the second closes.
#pragma once

#include <cstdint>
#include <cstdio>

#include "output.h"

// Writes the header row to file, which the output then owns; a row that cannot be written
// whole is cut off the file by cut_file, and no row is written after it.
const Output* start_csv_output(FILE* file, bool (*cut_file)(FILE* file, int64_t size));

// Closes the file; false when any row could not be written.
bool finish_csv_output();
