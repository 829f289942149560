// tickstat reading a live input on a machine whose clock settings follow a script, for
// the sample picture: tickstat_scripted SCRIPT [tickstat's options] < steps
// SCRIPT holds a line for each change: the second of clock time it comes at, the timer
// interval, the finest and the coarsest (in 100-ns units), and the time adjustment in
// parts per billion or "off".
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "tickstat.h"

namespace {

struct Change {
  long long second;
  ClockSettings settings;
};

Change changes[64];
int change_count;
long long seconds_read;

bool read_script(const char* path) {
  FILE* file = std::fopen(path, "r");
  if (file == nullptr) return false;
  long long second, timer, finest, coarsest;
  char adjustment[32];
  while (change_count < 64 && std::fscanf(file, "%lld %lld %lld %lld %31s", &second, &timer,
                                          &finest, &coarsest, adjustment) == 5) {
    ClockSettings& settings = changes[change_count].settings;
    changes[change_count++].second = second;
    settings = {true, timer, finest, coarsest, true, std::strcmp(adjustment, "off") != 0,
                0,    false, false,  0,        0};
    if (settings.adjusting) settings.adjustment_ppb = std::atoll(adjustment);
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
  const Streams streams = {stdin, stdout, stderr, true, false, nullptr, read_scripted_settings};
  return run_tickstat(argc - 1, argv + 1, streams);
}
