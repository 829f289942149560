// The report on standard output: the clocks' two tables, the waits' table, the three
// answers and the notes.
#pragma once

#include <cstdio>

#include "run.h"

// Writes the whole report; false when out could not take all of it.
bool write_report(const Run& run, FILE* out);

// Writes text, wrapped at kLineWidth, its later lines indented by indent spaces.
void write_wrapped(FILE* out, const char* text, int indent);
