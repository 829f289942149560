// tickstat reading a live input on a machine whose clock settings follow a script, for
// the sample picture: tickstat_scripted SCRIPT [tickstat's options] < steps
// SCRIPT holds a line for each change: the second of clock time it comes at (a fraction
// will do), the timer interval, the finest and the coarsest (in 100-ns units), and the
// time adjustment in parts per billion or "off". The input is taken as a live tickgauge
// prints it, tickstat's own clock running with its clock time.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "scripted_world.h"
#include "tickstat.h"

namespace {

SettingsAt changes[64];
size_t change_count;

// One line of the script: five words, the last a number or "off".
bool read_change(const char* line, SettingsAt* change) {
  char* end = nullptr;
  const double second = std::strtod(line, &end);
  if (end == line) return false;
  line = end;
  int64_t numbers[3];
  for (int64_t& number : numbers) {
    number = std::strtoll(line, &end, 10);
    if (end == line) return false;
    line = end;
  }
  while (*line == ' ') line++;
  const bool off = std::strncmp(line, "off", 3) == 0;
  change->at = std::llround(second * 1e7);
  change->settings = {true, numbers[0], numbers[1], numbers[2], true, !off, 0, false, false, 0, 0};
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

}  // namespace

int main(int argc, char* argv[]) {
  if (argc < 2 || !read_script(argv[1])) {
    std::fputs("usage: tickstat_scripted SCRIPT [tickstat's options] < steps\n", stderr);
    return 1;
  }
  Streams streams = standard_streams();
  streams.live_input = true;
  const Machine machine =
      scripted_world({.settings = changes, .count = change_count}, real_machine());
  return run_tickstat(argc - 1, argv + 1, streams, machine);
}
