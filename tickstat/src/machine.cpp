#include "machine.h"

#include "console.h"
#include "input.h"
#include "output_files.h"
#include "wall_clock.h"

Streams streams_of(FILE* in, FILE* out, FILE* err) {
  return Streams{.in = in,
                 .out = out,
                 .err = err,
                 .live_input = is_live(in),
                 .terminal_in = is_terminal(in),
                 .terminal_out = is_terminal(out),
                 .terminal_err = is_terminal(err),
                 .in_file = identify(in),
                 .out_file = identify(out),
                 .err_file = identify(err)};
}

Streams standard_streams() {
  const Streams streams = streams_of(stdin, stdout, stderr);
  keep_standard_streams_open();
  return streams;
}

Machine real_machine() {
  return Machine{.read_some = read_some,
                 .open_output = open_output_file,
                 .identify = identify,
                 .same_file = same_file,
                 .same_pipe = same_pipe,
                 .empty_file = empty_file,
                 .cut_file = cut_file,
                 .remove_file = remove_file,
                 .open_beside = open_beside,
                 .replace_file = replace_file,
                 .console_closed = console_closed,
                 .files_written = console_outputs_finished,
                 .columns = console_columns,
                 .now = wall_clock_now,
                 .steady = steady_clock_now,
                 .local_time = local_time_of,
                 .read_settings = read_clock_settings_now,
                 .end_of_typed_input = kEndOfTypedInput};
}
