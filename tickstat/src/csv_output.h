// --csv FILE: one row per second of clock time, written as the second closes.
#pragma once

#include <cstdio>

#include "output.h"

// Writes the header row to file, which the output then owns.
const Output* start_csv_output(FILE* file);

// Closes the file; false when any row could not be written.
bool finish_csv_output();
