#include "tickstat.h"

#include <cstring>

#include "step_line.h"
#include "summary.h"
#include "tally.h"

namespace {

const size_t kLineCapacity = 1 << 20;  // a longer line is not a step line and is skipped
const char kUsage[] =
    "usage: tickgauge64 -f | tickstat\n"
    "Reads tickgauge's step lines on standard input. While it reads, it prints one line\n"
    "per second of clock time: the steps in it, the most frequent step and the smallest\n"
    "and largest; a step backwards or a jump of over a second gets a line of its own.\n"
    "At the end of the input it prints a summary of all step sizes. Ctrl+C ends\n"
    "tickgauge and lets tickstat finish its summary; a second Ctrl+C ends tickstat too.\n";

// Room after the data for a line end, a sentinel '\n' and the word the parse reads.
char buffer[kLineCapacity + 16];

// Takes the whole lines in [p, end), which is followed by a '\n'; returns where
// the first line without a line end starts.
const char* take_lines(const char* p, const char* end, bool* skipping, Tally* tally, FILE* out) {
  while (p < end) {
    int64_t units = 0;
    const char* next = *skipping ? nullptr : parse_step_line(p, &units);
    if (next != nullptr && next <= end) {
      take_step(tally, units, out);
      p = next;
      continue;
    }
    const char* line_end =
        static_cast<const char*>(std::memchr(p, '\n', static_cast<size_t>(end - p)));
    if (line_end == nullptr) break;
    *skipping = false;
    p = line_end + 1;
  }
  return p;
}

// Reads every line of in; a line longer than the buffer is skipped whole.
void read_steps(FILE* in, Tally* tally, FILE* out) {
  size_t kept = 0;
  bool skipping = false;
  size_t got;
  while ((got = std::fread(buffer + kept, 1, kLineCapacity - kept, in)) > 0) {
    char* end = buffer + kept + got;
    *end = '\n';
    const char* rest = take_lines(buffer, end, &skipping, tally, out);
    kept = static_cast<size_t>(end - rest);
    if (kept == kLineCapacity) {
      skipping = true;
      kept = 0;
    }
    std::memmove(buffer, rest, kept);
  }
  if (kept == 0 || skipping) return;
  buffer[kept] = '\n';  // the last line, which had no line end of its own
  buffer[kept + 1] = '\n';
  take_lines(buffer, buffer + kept + 1, &skipping, tally, out);
}

}  // namespace

int run_tickstat(int argc, char* argv[], FILE* in, FILE* out, FILE* err) {
  if (argc > 1) {
    const bool help =
        argc == 2 && (std::strcmp(argv[1], "-h") == 0 || std::strcmp(argv[1], "--help") == 0);
    std::fputs(kUsage, help ? out : err);
    return help ? 0 : 1;
  }
  Tally* tally = start_tally();
  read_steps(in, tally, out);
  if (tally->steps == 0) {
    std::fputs("tickstat: the input held no step line (lines like \"15.6250 ms\" from tickgauge)\n",
               err);
    return 2;
  }
  close_partial_second(tally, out);
  print_summary(*tally, out);
  return 0;
}
