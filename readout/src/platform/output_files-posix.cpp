#include "output_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace {

FILE* stream_of(int file) {
  if (file < 0) return nullptr;
  FILE* stream = fdopen(file, "wb");
  if (stream == nullptr) close(file);
  return stream;
}

}  // namespace

FileIdentity identify(FILE* stream) {
  struct stat status = {};
  FileIdentity identity = {};
  if (fstat(fileno(stream), &status) != 0) {
    identity.closed = errno == EBADF;
    return identity;
  }
  identity.on_disk = S_ISREG(status.st_mode);
  identity.is_pipe = S_ISFIFO(status.st_mode);
  identity.volume = status.st_dev;
  identity.index[0] = status.st_ino;
  return identity;
}

bool same_file(const FileIdentity& later, const FileIdentity& earlier) {
  return later.on_disk && earlier.on_disk && later.volume == earlier.volume &&
         later.index[0] == earlier.index[0];
}

bool same_pipe(const FileIdentity& later, const FileIdentity& earlier) {
  return later.is_pipe && earlier.is_pipe && later.volume == earlier.volume &&
         later.index[0] == earlier.index[0];
}

void keep_standard_streams_open() {
  for (int standard = 0; standard <= 2; standard++) {
    if (fcntl(standard, F_GETFD) >= 0 || errno != EBADF) continue;
    // The lowest free number: this one, as those below it are open.
    open("/dev/null", standard == 0 ? O_RDONLY : O_WRONLY);
  }
}

FILE* open_output_file(const char* path, bool* created) {
  int file = open(path, O_WRONLY | O_CLOEXEC);
  *created = false;
  if (file < 0 && errno == ENOENT) {
    file = open(path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    *created = file >= 0;
  }
  return stream_of(file);
}

bool empty_file(FILE* file) {
  struct stat status = {};
  if (fstat(fileno(file), &status) != 0) return false;
  return !S_ISREG(status.st_mode) || ftruncate(fileno(file), 0) == 0;
}

bool cut_file(FILE* file, int64_t size) { return ftruncate(fileno(file), size) == 0; }

bool remove_file(const char* path) { return unlink(path) == 0; }

FILE* open_beside(const char* path, char* beside, size_t size) {
  const int length = std::snprintf(beside, size, "%s.%ld.part", path, static_cast<long>(getpid()));
  if (length < 0 || static_cast<size_t>(length) >= size) {
    errno = ENAMETOOLONG;
    return nullptr;
  }
  return stream_of(open(beside, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
}

bool replace_file(const char* from, const char* to) { return rename(from, to) == 0; }
