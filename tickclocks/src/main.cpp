#include <atomic>
#include <cstdio>

#include "console.h"
#include "machine.h"
#include "output_files.h"
#include "tickclocks.h"

namespace {

std::atomic<bool> stop_asked{false};

// From a signal handler or the console's own thread: a flag, nothing more.
void ask_stop() { stop_asked.store(true); }

bool should_stop() {
  return stop_asked.load(std::memory_order_relaxed) || console_interrupts() > 0;
}

}  // namespace

int main(int argc, char* argv[]) {
  // Whole texts at a time: unbuffered, the runtime writes a console a character at a time.
  setvbuf(stdout, nullptr, _IOFBF, 1 << 14);
  setvbuf(stderr, nullptr, _IOFBF, 1 << 12);
  // Taken before a closed standard stream is kept open, so that the run can say it was.
  const FileIdentity out_file = identify(stdout), err_file = identify(stderr);
  keep_standard_streams_open();
  start_console_events(ask_stop);
  Machine machine = real_machine();
  machine.should_stop = should_stop;
  // Progress goes to a console: standard output's, else standard error's where the
  // report goes into a file or a pipe.
  FILE* progress = is_terminal(stdout) ? stdout : is_terminal(stderr) ? stderr : nullptr;
  const Outputs outputs = {.out = stdout,
                           .err = stderr,
                           .progress = progress,
                           .columns = progress != nullptr ? console_columns(progress) : 0,
                           .out_file = out_file,
                           .err_file = err_file};
  const int status = run_tickclocks(argc, arguments_in_utf8(argc, argv), machine, outputs);
  console_outputs_finished();
  return status;
}
