// Lines that fit a console of 80 columns: a companion's text broken between its parts,
// each further line of one text indented by two spaces.
#pragma once

#include <cstdio>

// The columns a line may take: one short of 80, since a line that fills a console's row
// moves the cursor to the next and some consoles then show an empty row after it.
constexpr int kLineWidth = 79;

// Writes text from column onward (0: at the start of a line), broken where it would pass
// kLineWidth: after a ", " where that leaves the line two thirds full, else at a space.
// Returns the column where it ends.
int print_wrapped(FILE* out, int column, const char* text);

// Writes part after a comma: on the same line where it fits whole, else on a line of its
// own indented by two spaces. Returns the column where it ends.
int print_part(FILE* out, int column, const char* part);
