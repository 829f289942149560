#include "console.h"
#include "input.h"
#include "machine.h"
#include "tickstat.h"

int main(int argc, char* argv[]) {
  prepare_input();
  const Streams streams = standard_streams();  // before a signal can change standard input
  start_console_events(end_input);
  return run_tickstat(argc, arguments_in_utf8(argc, argv), streams, real_machine());
}
