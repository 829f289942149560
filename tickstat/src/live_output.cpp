#include "live_output.h"

#include <algorithm>
#include <cinttypes>
#include <cstring>

#include "periods.h"
#include "settings_changes.h"
#include "units.h"

namespace {

const int kStatusCapacity = 160;

FILE* out;
const Machine* machine;
int status_width;  // of the status line on the screen, 0 when none is
std::time_t status_shown;

// What a status line may take of the window's width: all but the last column, since
// a line that reaches it wraps on some terminals and \r then returns to the wrapped row.
int status_room() {
  const int columns = machine->columns != nullptr ? machine->columns(out) : 0;
  return columns <= 0 || columns > kStatusCapacity ? kStatusCapacity - 1 : columns - 1;
}

void clear_status() {
  if (status_width == 0) return;
  std::fprintf(out, "\r%*s\r", std::min(status_width, status_room()), "");
  status_width = 0;
}

// Ends the period line with the settings: the timer intervals in force while it lasted,
// the others when it began. Says on a line of its own when its typical step is none of
// those timer intervals: that is the finding.
void print_period_settings(const PeriodRecord& period) {
  char settings[192], timers[96], typical[32];
  ClockSettings others = period.settings;
  others.has_timer = false;
  if (period.timers.count > 0)
    std::fprintf(out, ", timer %s", describe_timers(period.timers, timers));
  if (*describe_settings(others, false, settings) != '\0') std::fprintf(out, ", %s", settings);
  std::fputc('\n', out);
  if (!period.has_typical || !step_misses_timer(period.timers, period.typical)) return;
  std::fprintf(out, "  typical %s ms, timer %s: the steps are not the timer interval\n",
               format_ms(period.typical, typical), list_timers(period.timers, timers));
}

void print_period(const PeriodRecord& period) {
  clear_status();
  char figures[256];
  std::fputs(format_period(period, figures), out);
  if (period.began != 0 && machine->local_time != nullptr) {
    std::tm local = {};
    machine->local_time(period.began, &local);
    char began[16];
    std::strftime(began, sizeof began, "%H:%M:%S", &local);
    std::fprintf(out, ", began %s", began);
  }
  print_period_settings(period);
  std::fflush(out);
}

void print_event(const ClockEvent& event) {
  clear_status();
  char size[32], when[32];
  std::fprintf(out, "%s: %s ms at %s s\n", event.units < 0 ? "backward step" : "forward jump",
               format_ms(event.units, size), format_seconds(event.at, when));
  std::fflush(out);
}

// The status in one of its forms, from 0, the longest, to 3, the last step and the
// setting, where there is one.
int status_form(int form, const SecondRecord& second, const char* setting,
                char (&text)[kStatusCapacity]) {
  char since[32], length[32], typical[32];
  format_clock(second.period_start, since);
  format_clock(second.end - second.period_start, length);
  const char* step = second.has_typical ? format_ms(second.typical, typical) : "?";
  const char* s = plural(second.steps);
  const char* comma = *setting != '\0' ? ", " : "";
  if (form == 0) {
    return std::snprintf(text, sizeof text,
                         "period %" PRId64 " since %s (%s so far), %" PRIu64
                         " step%s/s, last %s ms%s%s",
                         second.period, since, length, second.steps, s, step, comma, setting);
  }
  if (form == 1) {
    return std::snprintf(text, sizeof text,
                         "period %" PRId64 " since %s, %" PRIu64 " step%s/s, last %s ms%s%s",
                         second.period, since, second.steps, s, step, comma, setting);
  }
  if (form == 2) {
    return std::snprintf(text, sizeof text, "period %" PRId64 ", last %s ms%s%s", second.period,
                         step, comma, setting);
  }
  return std::snprintf(text, sizeof text, "last %s ms%s%s", step, comma, setting);
}

// The status in the longest form that fits in room: the period's figures go first, the
// setting next, the step last; 0 when not even the step fits.
int status_text(const SecondRecord& second, int room, char (&text)[kStatusCapacity]) {
  char setting[48];
  status_of_settings(second.settings, setting);
  for (int form = 0; form < 4; form++) {
    const int width = status_form(form, second, setting, text);
    if (width <= room) return width;
  }
  char typical[32];
  const char* step = second.has_typical ? format_ms(second.typical, typical) : "?";
  const int width = std::snprintf(text, sizeof text, "%s ms", step);
  return width > room ? 0 : width;
}

void print_change(const SettingsChange& change) {
  clear_status();
  print_settings_change(out, change, machine->local_time);
  std::fflush(out);
}

// At most once a second of tickstat's own clock: a file read at full speed closes
// thousands of seconds of clock time in one.
void show_status(const SecondRecord& second) {
  const std::time_t now = machine->now();
  if (now == status_shown) return;
  status_shown = now;
  const int room = status_room();
  char text[kStatusCapacity];
  const int width = status_text(second, room, text);
  if (width == 0) {
    clear_status();
    return;
  }
  std::fprintf(out, "\r%-*s", std::min(std::max(status_width, width), room), text);
  std::fflush(out);
  status_width = width;
}

const Output kLines = {nullptr, print_period, print_event, print_change};
const Output kLinesAndStatus = {show_status, print_period, print_event, print_change};

}  // namespace

const Output* start_live_output(FILE* stream, bool is_terminal, const Machine& on) {
  out = stream;
  machine = &on;
  status_width = 0;
  status_shown = 0;
  return is_terminal ? &kLinesAndStatus : &kLines;
}

void finish_live_output() {
  clear_status();
  std::fflush(out);
}
