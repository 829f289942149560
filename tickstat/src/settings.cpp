#include "settings.h"

#include <cinttypes>
#include <ctime>

#include "periods.h"
#include "step_line.h"

const char kSettingsColumns[] =
    ",timer_ms,finest_timer_ms,coarsest_timer_ms,time_adjustment,adjustment_ppm,synchronised,"
    "frequency_ppm,estimated_error_us";

namespace {

// Writes ppb as parts per million with three decimals ("-6.400"), exactly; returns text.
const char* format_ppm(int64_t ppb, char (&text)[32]) {
  const uint64_t size = ppb < 0 ? 0 - static_cast<uint64_t>(ppb) : static_cast<uint64_t>(ppb);
  std::snprintf(text, sizeof text, "%s%" PRIu64 ".%03" PRIu64, ppb < 0 ? "-" : "", size / 1000,
                size % 1000);
  return text;
}

// A rate as the lines show it, with its sign: "+6.400 ppm".
const char* signed_ppm(int64_t ppb, char (&text)[32]) {
  char number[32];
  std::snprintf(text, sizeof text, "%s%s ppm", ppb > 0 ? "+" : "", format_ppm(ppb, number));
  return text;
}

const char* adjustment_text(const ClockSettings& settings, char (&text)[32]) {
  if (!settings.adjusting) return "off";
  return signed_ppm(settings.adjustment_ppb, text);
}

// Adds part after a comma to the used characters of text; returns how many are used.
int append(char* text, int used, int size, const char* part) {
  if (*part == '\0' || used >= size) return used;
  return used + std::snprintf(text + used, static_cast<size_t>(size - used), "%s%s",
                              used > 0 ? ", " : "", part);
}

// The timer interval, with_range also the finest and the coarsest.
const char* timer_text(const ClockSettings& settings, bool with_range, char (&text)[96]) {
  char timer[32], finest[32], coarsest[32];
  format_ms(settings.timer, timer);
  if (!with_range) {
    std::snprintf(text, sizeof text, "timer %s ms", timer);
    return text;
  }
  std::snprintf(text, sizeof text, "timer %s ms (finest %s ms, coarsest %s ms)", timer,
                format_ms(settings.finest, finest), format_ms(settings.coarsest, coarsest));
  return text;
}

void print_change_time(FILE* out, const SettingsChange& change) {
  char at[32], when[16] = "?";
  if (change.when != 0) {
    std::strftime(when, sizeof when, "%H:%M:%S", std::localtime(&change.when));  // NOLINT
  }
  std::fprintf(out, " at %s, %s\n", format_clock(change.at, at), when);
}

}  // namespace

bool settings_changed(const ClockSettings& before, const ClockSettings& after) {
  return (before.has_timer && after.has_timer && before.timer != after.timer) ||
         (before.has_adjustment && after.has_adjustment && before.adjusting != after.adjusting) ||
         (before.has_sync && after.has_sync && before.synchronised != after.synchronised);
}

bool step_misses_timer(const ClockSettings& settings, int64_t typical) {
  return settings.has_timer && !same_timer_step(typical, settings.timer);
}

const char* describe_settings(const ClockSettings& settings, bool with_range, char (&text)[192]) {
  const int size = static_cast<int>(sizeof text);
  int used = 0;
  text[0] = '\0';
  char part[96], rate[32];
  if (settings.has_timer) used = append(text, used, size, timer_text(settings, with_range, part));
  if (settings.has_adjustment) {
    std::snprintf(part, sizeof part, "time adjustment %s", adjustment_text(settings, rate));
    used = append(text, used, size, part);
  }
  if (settings.has_sync) {
    std::snprintf(part, sizeof part, "%s, frequency %s, estimated error %" PRId64 " us",
                  settings.synchronised ? "synchronised" : "not synchronised",
                  signed_ppm(settings.frequency_ppb, rate), settings.error_us);
    append(text, used, size, part);
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

void print_settings_change(FILE* out, const SettingsChange& change) {
  const ClockSettings& was = change.before;
  const ClockSettings& now = change.after;
  char from[32], to[32];
  if (was.has_timer && now.has_timer && was.timer != now.timer) {
    std::fprintf(out, "timer interval %s ms -> %s ms", format_ms(was.timer, from),
                 format_ms(now.timer, to));
    print_change_time(out, change);
  }
  if (was.has_adjustment && now.has_adjustment && was.adjusting != now.adjusting) {
    std::fprintf(out, "time adjustment %s -> %s", adjustment_text(was, from),
                 adjustment_text(now, to));
    print_change_time(out, change);
  }
  if (was.has_sync && now.has_sync && was.synchronised != now.synchronised) {
    std::fputs(now.synchronised ? "synchronisation started" : "synchronisation stopped", out);
    print_change_time(out, change);
  }
}

void write_settings_fields(FILE* csv, const ClockSettings& settings) {
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
    std::snprintf(error, sizeof error, "%" PRId64, settings.error_us);
  }
  std::fprintf(csv, ",%s,%s,%s,%s,%s,%s,%s,%s", timer, finest, coarsest,
               settings.has_adjustment ? (settings.adjusting ? "1" : "0") : "", adjustment,
               settings.has_sync ? (settings.synchronised ? "1" : "0") : "", frequency, error);
}
