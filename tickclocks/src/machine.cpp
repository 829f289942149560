#include "machine.h"

#include "console.h"
#include "output_files.h"
#include "platform_machine.h"

namespace {

bool never_stop() { return false; }

}  // namespace

Machine real_machine() {
  find_platform_calls();
  return Machine{.list_clocks = list_clocks,
                 .list_waits = list_waits,
                 .reference_ns = reference_ns,
                 .reference_name = kReferenceName,
                 .processors = processors,
                 .start_thread = start_thread,
                 .join_thread = join_thread,
                 .wait_setting = wait_setting,
                 .read_settings = read_clock_settings_now,
                 .should_stop = never_stop,
                 .console_closed = console_closed,
                 .open_output = open_output_file,
                 .identify = identify,
                 .same_file = same_file,
                 .open_beside = open_beside,
                 .replace_file = replace_file,
                 .remove_file = remove_file};
}
