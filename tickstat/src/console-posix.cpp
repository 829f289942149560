#include "console.h"

#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>

void read_input_as_bytes() {}

namespace {

// Does nothing: the read goes on (SA_RESTART) and ends when the writer has gone.
void ignore_interrupt(int) {}

}  // namespace

void outlive_first_interrupt() {
  struct sigaction action = {};
  action.sa_handler = ignore_interrupt;
  // SA_RESETHAND puts the default back after the first, so a second Ctrl+C ends the process.
  action.sa_flags = SA_RESTART | SA_RESETHAND;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
}

bool is_live(FILE* stream) {
  struct stat status = {};
  if (fstat(fileno(stream), &status) != 0) return false;
  return S_ISFIFO(status.st_mode) || S_ISCHR(status.st_mode) || S_ISSOCK(status.st_mode);
}

bool is_terminal(FILE* stream) { return isatty(fileno(stream)) != 0; }

size_t read_some(FILE* stream, char* buffer, size_t size) {
  const ssize_t got = read(fileno(stream), buffer, size);
  return got > 0 ? static_cast<size_t>(got) : 0;
}

const char kEndOfTypedInput[] = "Ctrl+D";

int columns_of(FILE* stream) {
  struct winsize size = {};
  return ioctl(fileno(stream), TIOCGWINSZ, &size) == 0 ? size.ws_col : 0;
}

void local_time(std::tm* now) {
  const std::time_t seconds = std::time(nullptr);
  localtime_r(&seconds, now);
}
