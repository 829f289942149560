// tickstat reading a live input on a machine whose clock settings follow a script, for
// the sample picture: tickstat_scripted SCRIPT [tickstat's options] < steps
// SCRIPT holds a line for each change: the second of clock time it comes at, the timer
// interval, the finest and the coarsest (in 100-ns units), and the time adjustment in
// parts per billion or "off".
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "tickstat.h"

namespace {

struct Change {
  int64_t second;
  ClockSettings settings;
};

Change changes[64];
int change_count;
int64_t seconds_read;

// One line of the script: five words, the last a number or "off".
bool read_change(const char* line, Change* change) {
  char* end = nullptr;
  int64_t numbers[4];
  for (int64_t& number : numbers) {
    number = std::strtoll(line, &end, 10);
    if (end == line) return false;
    line = end;
  }
  while (*line == ' ') line++;
  const bool off = std::strncmp(line, "off", 3) == 0;
  change->second = numbers[0];
  change->settings = {true, numbers[1], numbers[2], numbers[3], true, !off, 0, false, false, 0, 0};
  if (!off) change->settings.adjustment_ppb = std::strtoll(line, &end, 10);
  return off || end != line;
}

bool read_script(const char* path) {
  FILE* file = std::fopen(path, "r");
  if (file == nullptr) return false;
  char line[256];
  while (change_count < 64 && std::fgets(line, sizeof line, file) != nullptr &&
         read_change(line, &changes[change_count])) {
    change_count++;
  }
  std::fclose(file);
  return change_count > 0;
}

// Asked once at each second of clock time, the first at 0:00:00.
void read_scripted_settings(ClockSettings* settings) {
  int i = 0;
  while (i + 1 < change_count && changes[i + 1].second <= seconds_read) i++;
  seconds_read++;
  *settings = changes[i].settings;
}

}  // namespace

int main(int argc, char* argv[]) {
  if (argc < 2 || !read_script(argv[1])) {
    std::fputs("usage: tickstat_scripted SCRIPT [tickstat's options] < steps\n", stderr);
    return 1;
  }
  Streams streams = standard_streams();
  streams.live_input = true;
  Machine machine = real_machine();
  machine.read_settings = read_scripted_settings;
  return run_tickstat(argc - 1, argv + 1, streams, machine);
}
