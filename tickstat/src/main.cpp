#include <cstdio>

#include "clock_settings.h"
#include "console.h"
#include "tickstat.h"

int main(int argc, char* argv[]) {
  read_input_as_bytes();
  outlive_first_interrupt();
  end_input_on_signals();
  const Streams streams = {stdin,
                           stdout,
                           stderr,
                           is_live(stdin),
                           is_terminal(stdout),
                           read_some,
                           open_output,
                           same_file,
                           empty_file,
                           files_written,
                           is_terminal(stdin),
                           kEndOfTypedInput,
                           columns_of,
                           local_time,
                           read_clock_settings};
  return run_tickstat(argc, arguments_in_utf8(argc, argv), streams);
}
