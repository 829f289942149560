#include "console.h"

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
