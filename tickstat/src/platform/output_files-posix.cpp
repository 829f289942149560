#include "output_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

FILE* open_output_file(const char* path) {
  const int file = open(path, O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
  if (file < 0) return nullptr;
  FILE* stream = fdopen(file, "wb");
  if (stream == nullptr) close(file);
  return stream;
}

bool same_file(FILE* a, FILE* b) {
  struct stat x = {}, y = {};
  if (fstat(fileno(a), &x) != 0 || fstat(fileno(b), &y) != 0) return false;
  return S_ISREG(x.st_mode) && S_ISREG(y.st_mode) && x.st_dev == y.st_dev && x.st_ino == y.st_ino;
}

bool empty_file(FILE* file) {
  struct stat status = {};
  if (fstat(fileno(file), &status) != 0) return false;
  return !S_ISREG(status.st_mode) || ftruncate(fileno(file), 0) == 0;
}
