#include "settings_changes.h"

#include <cinttypes>
#include <ctime>

#include "periods.h"
#include "units.h"

const char kSettingsColumns[] =
    ",timer_ms,finest_timer_ms,coarsest_timer_ms,time_adjustment,adjustment_ppm,synchronised,"
    "frequency_ppm,estimated_error_us";

namespace {

void print_change_time(FILE* out, const SettingsChange& change,
                       void (*local_time)(std::time_t moment, std::tm* local)) {
  char at[32], when[16] = "?";
  if (change.when != 0 && local_time != nullptr) {
    std::tm local = {};
    local_time(change.when, &local);
    std::strftime(when, sizeof when, "%H:%M:%S", &local);
  }
  std::fprintf(out, " at %s, %s\n", format_moment(change.at, at), when);
}

}  // namespace

bool settings_changed(const ClockSettings& before, const ClockSettings& after) {
  return (before.has_timer && after.has_timer && before.timer != after.timer) ||
         (before.has_adjustment && after.has_adjustment && before.adjusting != after.adjusting) ||
         (before.has_sync && after.has_sync && before.synchronised != after.synchronised);
}

bool step_misses_timer(const TimerHistory& timers, int64_t typical) {
  return timers.count == 1 && timers.changes == 0 && !timers.sparse &&
         !same_timer_step(typical, timers.first);
}

const char* describe_timers(const TimerHistory& timers, char (&text)[96]) {
  char first[32], middle[32], last[32];
  format_ms(timers.first, first);
  format_ms(timers.last, last);
  if (timers.changes == 0) {
    std::snprintf(text, sizeof text, "%s ms", first);
  } else if (timers.changes == 1) {
    std::snprintf(text, sizeof text, "%s ms -> %s ms", first, last);
  } else if (timers.changes == 2 && !timers.more) {
    // Three readings apart: the one between is the second interval seen.
    std::snprintf(text, sizeof text, "%s ms -> %s ms -> %s ms", first,
                  format_ms(timers.seen[1], middle), last);
  } else {
    std::snprintf(text, sizeof text, "%s ms -> %s ms (%" PRIu64 " changes)", first, last,
                  timers.changes);
  }
  return text;
}

const char* status_of_settings(const ClockSettings& settings, char (&text)[48]) {
  text[0] = '\0';
  if (settings.has_timer) {
    char timer[32];
    std::snprintf(text, sizeof text, "timer %s ms", format_ms(settings.timer, timer));
  } else if (settings.has_sync) {
    std::snprintf(text, sizeof text, "%s",
                  settings.synchronised ? "synchronised" : "not synchronised");
  }
  return text;
}

void print_settings_change(FILE* out, const SettingsChange& change,
                           void (*local_time)(std::time_t moment, std::tm* local)) {
  const ClockSettings& was = change.before;
  const ClockSettings& now = change.after;
  char from[32], to[32];
  if (was.has_timer && now.has_timer && was.timer != now.timer) {
    std::fprintf(out, "timer interval %s ms -> %s ms", format_ms(was.timer, from),
                 format_ms(now.timer, to));
    print_change_time(out, change, local_time);
  }
  if (was.has_adjustment && now.has_adjustment && was.adjusting != now.adjusting) {
    std::fprintf(out, "time adjustment %s -> %s", describe_adjustment(was, from),
                 describe_adjustment(now, to));
    print_change_time(out, change, local_time);
  }
  if (was.has_sync && now.has_sync && was.synchronised != now.synchronised) {
    std::fputs(now.synchronised ? "synchronisation started" : "synchronisation stopped", out);
    print_change_time(out, change, local_time);
  }
}

const char* settings_fields(const ClockSettings& settings, char (&text)[192]) {
  char timer[32] = "", finest[32] = "", coarsest[32] = "", adjustment[32] = "", frequency[32] = "",
       error[32] = "";
  if (settings.has_timer) {
    format_ms(settings.timer, timer);
    format_ms(settings.finest, finest);
    format_ms(settings.coarsest, coarsest);
  }
  if (settings.has_adjustment && settings.adjusting)
    format_ppm(settings.adjustment_ppb, adjustment);
  if (settings.has_sync) {
    format_ppm(settings.frequency_ppb, frequency);
    if (settings.synchronised) std::snprintf(error, sizeof error, "%" PRId64, settings.error_us);
  }
  std::snprintf(text, sizeof text, ",%s,%s,%s,%s,%s,%s,%s,%s", timer, finest, coarsest,
                settings.has_adjustment ? (settings.adjusting ? "1" : "0") : "", adjustment,
                settings.has_sync ? (settings.synchronised ? "1" : "0") : "", frequency, error);
  return text;
}
