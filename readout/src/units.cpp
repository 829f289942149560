#include "units.h"

#include <cinttypes>
#include <cstdio>

namespace {

uint64_t magnitude_of(int64_t value) {
  return value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
}

const char* format_fixed(int64_t units, int64_t per_unit, int decimals, char (&text)[32]) {
  const uint64_t magnitude = magnitude_of(units);
  const uint64_t whole = magnitude / static_cast<uint64_t>(per_unit);
  const uint64_t part = magnitude % static_cast<uint64_t>(per_unit);
  std::snprintf(text, sizeof text, "%s%" PRIu64 ".%0*" PRIu64, units < 0 ? "-" : "", whole,
                decimals, part);
  return text;
}

// A moment of clock time in tenths of a second, rounded as format_moment shows it.
int64_t tenths_of(int64_t units) { return (units + kUnitsPerSecond / 20) / (kUnitsPerSecond / 10); }

}  // namespace

const char* format_ms(int64_t units, char (&text)[32]) {
  return format_fixed(units, 10000, 4, text);
}

const char* format_seconds(int64_t units, char (&text)[32]) {
  return format_fixed(units, kUnitsPerSecond, 7, text);
}

const char* format_share(uint64_t part, uint64_t whole, char (&text)[32]) {
  // From integers, so that every output rounds a share the same way: 1/16 is 6.3.
  const uint64_t tenths = whole == 0 ? 0 : (part * 2000 / whole + 1) / 2;
  std::snprintf(text, sizeof text, "%" PRIu64 ".%" PRIu64, tenths / 10, tenths % 10);
  return text;
}

const char* format_clock(int64_t units, char (&text)[32]) {
  const int64_t seconds = units / kUnitsPerSecond;
  std::snprintf(text, sizeof text, "%" PRId64 ":%02d:%02d", seconds / 3600,
                static_cast<int>(seconds / 60 % 60), static_cast<int>(seconds % 60));
  return text;
}

const char* format_moment(int64_t units, char (&text)[32]) {
  const int64_t tenths = tenths_of(units);
  std::snprintf(text, sizeof text, "%" PRId64 ":%02d:%02d.%d", tenths / 36000,
                static_cast<int>(tenths / 600 % 60), static_cast<int>(tenths / 10 % 60),
                static_cast<int>(tenths % 10));
  return text;
}

const char* format_length(int64_t start, int64_t end, char (&text)[32]) {
  const int64_t units = (tenths_of(end) - tenths_of(start)) * (kUnitsPerSecond / 10);
  if (units == 0 && end > start) {
    std::snprintf(text, sizeof text, "<0:00:00.1");
    return text;
  }
  if (units < 60 * kUnitsPerSecond) return format_moment(units, text);
  return format_clock(units + kUnitsPerSecond / 2, text);
}

const char* format_ppm(int64_t ppb, char (&text)[32]) { return format_fixed(ppb, 1000, 3, text); }

const char* plural(uint64_t count) { return count == 1 ? "" : "s"; }
