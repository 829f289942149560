#include "input.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

namespace {

volatile sig_atomic_t input_ended = 0;

}  // namespace

void prepare_input() {}

bool is_live(FILE* stream) {
  struct stat status = {};
  if (fstat(fileno(stream), &status) != 0) return false;
  return S_ISFIFO(status.st_mode) || S_ISCHR(status.st_mode) || S_ISSOCK(status.st_mode);
}

long read_some(FILE* stream, char* buffer, size_t size) {
  ssize_t got;
  do {
    got = read(fileno(stream), buffer, size);
  } while (got < 0 && errno == EINTR && input_ended == 0);
  if (got > 0) return got;
  if (input_ended != 0) return kReadStopped;
  return got == 0 ? kReadEnd : kReadFailed;
}

// Puts /dev/null in standard input's place: the read that a signal interrupted
// restarts (SA_RESTART) on it and ends, and so does one that was about to begin.
void end_input() {
  input_ended = 1;
  const int saved_errno = errno;
  const int null = open("/dev/null", O_RDONLY);
  if (null >= 0) {
    dup2(null, STDIN_FILENO);
    close(null);
  }
  errno = saved_errno;
}

const char kEndOfTypedInput[] = "Ctrl+D";
