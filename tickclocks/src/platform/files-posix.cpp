#include "files.h"

#include <cstdio>

FILE* create_file(const char* path) { return std::fopen(path, "w"); }

bool replace_file(const char* from, const char* to) { return std::rename(from, to) == 0; }

void remove_file(const char* path) { std::remove(path); }
