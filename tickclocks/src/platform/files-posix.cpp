#include "files.h"

#include <sys/stat.h>

#include <cstdio>

FILE* create_file(const char* path) { return std::fopen(path, "w"); }

bool replace_file(const char* from, const char* to) { return std::rename(from, to) == 0; }

void remove_file(const char* path) { std::remove(path); }

bool is_file_of(const char* path, FILE* stream) {
  struct stat named = {}, open = {};
  if (stat(path, &named) != 0 || fstat(fileno(stream), &open) != 0) return false;
  return S_ISREG(named.st_mode) && S_ISREG(open.st_mode) && named.st_dev == open.st_dev &&
         named.st_ino == open.st_ino;
}
