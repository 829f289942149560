#include "live_output.h"

#include <cinttypes>
#include <cstring>

#include "step_line.h"

namespace {

FILE* out;
int status_width;  // of the status line on the screen, 0 when none is
std::time_t status_shown;

void clear_status() {
  if (status_width == 0) return;
  std::fprintf(out, "\r%*s\r", status_width, "");
  status_width = 0;
}

void print_period(const PeriodRecord& period) {
  clear_status();
  char start[32], end[32], length[32], typical[32], share[32], min[32], max[32];
  std::fprintf(out,
               "period %" PRId64 ": %s to %s (%s), %" PRIu64
               " steps, typical %s ms (%5s%%), min %s ms, max %s ms",
               period.number, format_clock(period.start, start), format_clock(period.end, end),
               format_clock(period.end - period.start, length), period.steps,
               period.has_typical ? format_ms(period.typical, typical) : "?",
               format_share(period.typical_count, period.steps, share), format_ms(period.min, min),
               format_ms(period.max, max));
  if (period.began != 0) {
    char began[16];
    std::strftime(began, sizeof began, "%H:%M:%S", std::localtime(&period.began));  // NOLINT
    std::fprintf(out, ", began %s", began);
  }
  std::fputc('\n', out);
  std::fflush(out);
}

void print_event(const ClockEvent& event) {
  clear_status();
  char size[32], when[32];
  std::fprintf(out, "%s: %s ms at %s s\n", event.units < 0 ? "backward step" : "forward jump",
               format_ms(event.units, size), format_seconds(event.at, when));
  std::fflush(out);
}

// At most once a second of tickstat's own clock: a file read at full speed closes
// thousands of seconds of clock time in one.
void show_status(const SecondRecord& second) {
  const std::time_t now = std::time(nullptr);
  if (now == status_shown) return;
  status_shown = now;
  char since[32], length[32], typical[32], text[160];
  const int width = std::snprintf(
      text, sizeof text, "period %" PRId64 " since %s (%s so far), %" PRIu64 " steps/s, last %s ms",
      second.period, format_clock(second.period_start, since),
      format_clock(second.end - second.period_start, length), second.steps,
      second.has_typical ? format_ms(second.typical, typical) : "?");
  std::fprintf(out, "\r%-*s", status_width > width ? status_width : width, text);
  std::fflush(out);
  status_width = width;
}

const Output kLines = {nullptr, print_period, print_event};
const Output kLinesAndStatus = {show_status, print_period, print_event};

}  // namespace

const Output* start_live_output(FILE* stream, bool is_terminal) {
  out = stream;
  status_width = 0;
  status_shown = 0;
  return is_terminal ? &kLinesAndStatus : &kLines;
}

void finish_live_output() {
  clear_status();
  std::fflush(out);
}
