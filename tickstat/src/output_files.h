// tickstat's output files, once per platform: opened by the name the user typed,
// and told apart by what they are on disk, not by their paths.
#pragma once

#include <cstdio>

// Opens a file for writing, creating it but keeping what it holds; null with errno set.
FILE* open_output_file(const char* path);

// Whether two streams are one file on disk, by its identity, not by the path.
bool same_file(FILE* a, FILE* b);

// Empties a file that open_output_file opened; devices are left as they are.
bool empty_file(FILE* file);
