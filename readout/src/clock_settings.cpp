#include "clock_settings.h"

#include <cinttypes>
#include <cstdio>
#include <ctime>

#include "units.h"

namespace {

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

}  // namespace

void read_clock_settings(ClockSettings* settings) {
  static std::time_t read_at = -1;
  static ClockSettings last;
  const std::time_t now = std::time(nullptr);
  if (now != read_at) read_clock_settings_now(&last);
  read_at = now;
  *settings = last;
}

ClockSettings kernel_clock_settings(bool time_error, bool unsync_set, int64_t frequency,
                                    int64_t error_us) {
  ClockSettings settings = {};
  settings.has_sync = true;
  settings.synchronised = !time_error && !unsync_set;
  // Rounded half away from zero, as the shares are: -419430 is -6.39999 ppm, so -6.400.
  const int64_t half = frequency < 0 ? -32768 : 32768;
  settings.frequency_ppb = (frequency * 1000 + half) / 65536;
  settings.error_us = error_us;
  return settings;
}

const char* signed_ppm(int64_t ppb, char (&text)[32]) {
  char number[32];
  std::snprintf(text, sizeof text, "%s%s ppm", ppb > 0 ? "+" : "", format_ppm(ppb, number));
  return text;
}

const char* describe_adjustment(const ClockSettings& settings, char (&text)[32]) {
  if (!settings.adjusting) return "off";
  return signed_ppm(settings.adjustment_ppb, text);
}

const char* describe_settings(const ClockSettings& settings, bool with_range, char (&text)[192]) {
  const int size = static_cast<int>(sizeof text);
  int used = 0;
  text[0] = '\0';
  char part[96], rate[32];
  if (settings.has_timer) used = append(text, used, size, timer_text(settings, with_range, part));
  if (settings.has_adjustment) {
    std::snprintf(part, sizeof part, "time adjustment %s", describe_adjustment(settings, rate));
    used = append(text, used, size, part);
  }
  if (settings.has_sync) {
    const int length = std::snprintf(part, sizeof part, "%s, frequency %s",
                                     settings.synchronised ? "synchronised" : "not synchronised",
                                     signed_ppm(settings.frequency_ppb, rate));
    // Unsynchronised, the kernel keeps its largest value there: no estimate at all.
    if (settings.synchronised) {
      std::snprintf(part + length, sizeof part - static_cast<size_t>(length),
                    ", estimated error %" PRId64 " us", settings.error_us);
    }
    append(text, used, size, part);
  }
  return text;
}
