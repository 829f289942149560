#include "machine.h"

#include "console.h"
#include "input.h"
#include "output_files.h"
#include "wall_clock.h"

Streams standard_streams() {
  return Streams{.in = stdin,
                 .out = stdout,
                 .err = stderr,
                 .live_input = is_live(stdin),
                 .terminal_in = is_terminal(stdin),
                 .terminal_out = is_terminal(stdout),
                 .terminal_err = is_terminal(stderr)};
}

Machine real_machine() {
  return Machine{.read_some = read_some,
                 .open_output = open_output_file,
                 .same_file = same_file,
                 .empty_file = empty_file,
                 .files_written = console_outputs_finished,
                 .columns = console_columns,
                 .now = wall_clock_now,
                 .local_time = local_time_of,
                 .read_settings = read_clock_settings,
                 .end_of_typed_input = kEndOfTypedInput};
}
