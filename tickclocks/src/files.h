// Files named by the user, in UTF-8 whatever the platform's own file names are.
#pragma once

#include <cstdio>

// Opens path for writing, emptying what it holds; null, with errno set, when it cannot.
FILE* create_file(const char* path);

// Puts the file at from in the place of the one at to in one step; false, with errno set,
// when it cannot.
bool replace_file(const char* from, const char* to);

// Removes the file at path, if it is there.
void remove_file(const char* path);

// Whether path names the regular file that stream writes into (by its identity, not
// its name); false for pipes, consoles and devices, and where path is not there.
bool is_file_of(const char* path, FILE* stream);
