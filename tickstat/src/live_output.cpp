#include "live_output.h"

#include <algorithm>
#include <cinttypes>
#include <cstring>

#include "periods.h"
#include "settings_changes.h"
#include "units.h"
#include "wrapping.h"

namespace {

const int kStatusCapacity = 160;

FILE* out;
FILE* err;
FILE* status;  // where the status line goes, null for none
const Machine* machine;
int status_width;      // of the status line on the screen, 0 when none is
int64_t status_shown;  // the second of tickstat's steady clock it was last shown in

// What a status line may take of the window's width: all but the last column, since
// a line that reaches it wraps on some terminals and \r then returns to the wrapped row.
int status_room() {
  const int columns = machine->columns != nullptr ? machine->columns(status) : 0;
  return columns <= 0 || columns > kStatusCapacity ? kStatusCapacity - 1 : columns - 1;
}

// Takes the status line off the console, as before each line: a line goes out where the
// status stands, or, with the status on standard error, where a program reading standard
// output (more, findstr) may show it.
void clear_status() {
  if (status_width == 0) return;
  std::fprintf(status, "\r%*s\r", std::min(status_width, status_room()), "");
  status_width = 0;
}

// Ends the period's lines with the settings: the timer intervals in force while it lasted,
// the others when it began, on a line of their own where they do not fit whole. Says on
// a line of its own when its typical step is none of those timer intervals: that is the
// finding.
void print_period_settings(const PeriodRecord& period, int column) {
  char settings[320], others_text[192], note[192], typical[32], timer[32];
  ClockSettings others = period.settings;
  others.has_timer = false;
  describe_settings(others, false, others_text);
  if (period.timers.count > 0) {
    char timers[96];
    std::snprintf(settings, sizeof settings, "timer %s%s%s", describe_timers(period.timers, timers),
                  *others_text != '\0' ? ", " : "", others_text);
  } else {
    std::snprintf(settings, sizeof settings, "%s", others_text);
  }
  if (*settings != '\0') print_part(out, column, settings);
  std::fputc('\n', out);
  if (!period.has_typical || !step_misses_timer(period.timers, period.typical)) return;
  std::snprintf(note, sizeof note,
                "  typical %s ms, timer %s ms: the steps are not the timer interval",
                format_ms(period.typical, typical), format_ms(period.timers.first, timer));
  print_wrapped(out, 0, note);
  std::fputc('\n', out);
}

void print_period(const PeriodRecord& period) {
  clear_status();
  char figures[256], began[32] = "";
  if (period.began != 0 && machine->local_time != nullptr) {
    std::tm local = {};
    machine->local_time(period.began, &local);
    std::strftime(began, sizeof began, "began %H:%M:%S", &local);
  }
  print_period_settings(period, print_wrapped(out, 0, format_period(period, began, figures)));
  std::fflush(out);
}

void print_event(const ClockEvent& event) {
  clear_status();
  char size[32], when[32];
  std::fprintf(out, "%s: %s ms at %s\n", event.units < 0 ? "backward step" : "forward jump",
               format_ms(event.units, size), format_moment(event.at, when));
  std::fflush(out);
}

const int kStatusForms = 6;

// The status in one of its forms, from 0, the longest, to 5, the last second's typical
// step alone. The period's figures go first, the count of steps next, then the setting.
int status_form(int form, const SecondRecord& second, const char* setting,
                char (&text)[kStatusCapacity]) {
  char period[96] = "", steps[64], since[32], length[32], typical[32];
  format_moment(second.period_start, since);
  format_length(second.period_start, second.end, length);
  if (form == 0) {
    std::snprintf(period, sizeof period, "period %" PRId64 " since %s (%s so far)", second.period,
                  since, length);
  } else if (form == 1) {
    std::snprintf(period, sizeof period, "period %" PRId64 " since %s", second.period, since);
  } else if (form == 2) {
    std::snprintf(period, sizeof period, "period %" PRId64, second.period);
  }
  const char* step = second.has_typical ? format_ms(second.typical, typical) : "?";
  if (form <= 2) {
    std::snprintf(steps, sizeof steps, "last second: %" PRIu64 " step%s, typical %s ms",
                  second.steps, plural(second.steps), step);
  } else {
    std::snprintf(steps, sizeof steps, "%stypical %s ms", form == 3 ? "last second: " : "", step);
  }
  const bool with_setting = form < 5 && *setting != '\0';
  return std::snprintf(text, sizeof text, "%s%s%s%s%s", period, *period != '\0' ? "; " : "", steps,
                       with_setting ? "; " : "", with_setting ? setting : "");
}

// The status in the longest form that fits in room; 0 when not even the step fits.
int status_text(const SecondRecord& second, int room, char (&text)[kStatusCapacity]) {
  char setting[48];
  status_of_settings(second.settings, setting);
  for (int form = 0; form < kStatusForms; form++) {
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
  const int64_t now = machine->steady() / kUnitsPerSecond;
  if (now == status_shown) return;
  status_shown = now;
  const int room = status_room();
  char text[kStatusCapacity];
  const int width = status_text(second, room, text);
  if (width == 0) {
    clear_status();
    return;
  }
  std::fprintf(status, "\r%-*s", std::min(std::max(status_width, width), room), text);
  std::fflush(status);
  status_width = width;
}

// On standard error, which may share the console with the status line on standard output.
void print_notice(const Notice& notice) {
  clear_status();
  std::fflush(out);
  print_wrapped(err, 0, notice.text);
  std::fputc('\n', err);
  std::fflush(err);
}

const Output kLines = {nullptr, print_period, print_event, print_change, print_notice};
const Output kLinesAndStatus = {show_status, print_period, print_event, print_change, print_notice};

}  // namespace

const Output* start_live_output(const Streams& streams, const Machine& on) {
  out = streams.out;
  err = streams.err;
  // Piped into a file, a run still shows its progress where a person watches.
  status = streams.terminal_out ? streams.out : streams.terminal_err ? streams.err : nullptr;
  machine = &on;
  status_width = 0;
  status_shown = -1;
  return status != nullptr ? &kLinesAndStatus : &kLines;
}

void finish_live_output() {
  clear_status();
  std::fflush(out);
}
