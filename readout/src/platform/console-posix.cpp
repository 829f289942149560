#include "console.h"

#include <pthread.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <csignal>

char** arguments_in_utf8(int, char* argv[]) { return argv; }

bool is_terminal(FILE* stream) { return isatty(fileno(stream)) != 0; }

int console_columns(FILE* stream) {
  struct winsize size = {};
  return ioctl(fileno(stream), TIOCGWINSZ, &size) == 0 ? size.ws_col : 0;
}

namespace {

volatile sig_atomic_t interrupts = 0;
volatile sig_atomic_t closed = 0;
void (*stop_action)() = nullptr;

void set_handler(int signal_number, void (*handler)(int), int flags) {
  struct sigaction action = {};
  action.sa_handler = handler;
  action.sa_flags = flags;
  sigemptyset(&action.sa_mask);
  sigaction(signal_number, &action, nullptr);
}

// Counts; the read or wait it interrupted goes on (SA_RESTART).
void count_interrupt(int) { interrupts = interrupts + 1; }

// The defaults come back, so that a second signal ends the process at once.
void stop_on_signal(int signal_number) {
  if (signal_number == SIGHUP) closed = 1;
  set_handler(SIGTERM, SIG_DFL, 0);
  set_handler(SIGHUP, SIG_DFL, 0);
  if (stop_action != nullptr) stop_action();
}

}  // namespace

void start_console_events(void (*stop)()) {
  stop_action = stop;
  // SA_RESETHAND puts the default back after the first, so a second Ctrl+C ends the process.
  set_handler(SIGINT, count_interrupt, SA_RESTART | SA_RESETHAND);
  set_handler(SIGTERM, stop_on_signal, SA_RESTART);
  set_handler(SIGHUP, stop_on_signal, SA_RESTART);
  set_handler(SIGPIPE, SIG_IGN, 0);
}

int console_interrupts() { return interrupts; }

bool console_closed() { return closed != 0; }

void console_outputs_finished() {}

namespace {

// Those that may end the process: blocked, they wait until unblocked.
sigset_t ending_signals() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGTERM);
  sigaddset(&set, SIGHUP);
  return set;
}

}  // namespace

void hold_interrupts() {
  const sigset_t set = ending_signals();
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

void release_interrupts() {
  const sigset_t set = ending_signals();
  pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
}
