#include "console.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

#include "streams.h"

char** arguments_in_utf8(int, char* argv[]) { return argv; }

void read_input_as_bytes() {}

namespace {

volatile sig_atomic_t stop_signal = 0;

// Does nothing: the read goes on (SA_RESTART) and ends when the writer has gone.
void ignore_interrupt(int) {}

void set_handler(int signal_number, void (*handler)(int), int flags) {
  struct sigaction action = {};
  action.sa_handler = handler;
  action.sa_flags = flags;
  sigemptyset(&action.sa_mask);
  sigaction(signal_number, &action, nullptr);
}

// Puts /dev/null in standard input's place: the read that the signal interrupted
// restarts (SA_RESTART) on it and ends, and so does one that was about to begin.
void end_input(int signal_number) {
  stop_signal = signal_number;
  set_handler(SIGTERM, SIG_DFL, 0);
  set_handler(SIGHUP, SIG_DFL, 0);
  const int saved_errno = errno;
  const int null = open("/dev/null", O_RDONLY);
  if (null >= 0) {
    dup2(null, STDIN_FILENO);
    close(null);
  }
  errno = saved_errno;
}

}  // namespace

void outlive_first_interrupt() {
  // SA_RESETHAND puts the default back after the first, so a second Ctrl+C ends the process.
  set_handler(SIGINT, ignore_interrupt, SA_RESTART | SA_RESETHAND);
}

void end_input_on_signals() {
  set_handler(SIGTERM, end_input, SA_RESTART);
  set_handler(SIGHUP, end_input, SA_RESTART);
  set_handler(SIGPIPE, SIG_IGN, 0);
}

bool is_live(FILE* stream) {
  struct stat status = {};
  if (fstat(fileno(stream), &status) != 0) return false;
  return S_ISFIFO(status.st_mode) || S_ISCHR(status.st_mode) || S_ISSOCK(status.st_mode);
}

bool is_terminal(FILE* stream) { return isatty(fileno(stream)) != 0; }

long read_some(FILE* stream, char* buffer, size_t size) {
  ssize_t got;
  do {
    got = read(fileno(stream), buffer, size);
  } while (got < 0 && errno == EINTR && stop_signal == 0);
  if (got > 0) return got;
  if (stop_signal != 0) return kReadStopped;
  return got == 0 ? kReadEnd : kReadFailed;
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

FILE* open_output(const char* path) {
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

void files_written() {}
