#include "step_line.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>

namespace {

const int kMostWholeDigits = 15;  // 2^63 units is 922337203685477.5807 ms

bool is_digit(char c) { return static_cast<unsigned char>(c - '0') < 10; }

// The four decimals, " ms" and the line end that close every step line; null if not.
// It reads the eight bytes ".dddd ms" as one little-endian word and checks them at
// once: this runs for every line, and branches per byte cost most of its time.
const char* parse_fraction(const char* p, uint64_t* fraction) {
  uint64_t word;
  std::memcpy(&word, p, sizeof word);
  const uint64_t kFixedBytes = 0xFFFFFF00000000FFULL;  // '.', then after four digits " ms"
  const uint64_t kFixedText = 0x736D20000000002EULL;
  const uint32_t digits = static_cast<uint32_t>(word >> 8);
  if ((word & kFixedBytes) != kFixedText || (digits & 0xF0F0F0F0U) != 0x30303030U ||
      ((digits + 0x06060606U) & 0xF0F0F0F0U) != 0x30303030U) {
    return nullptr;
  }
  const uint32_t d = digits - 0x30303030U;  // the first decimal in the lowest byte
  *fraction = (d & 0xFF) * 1000 + (d >> 8 & 0xFF) * 100 + (d >> 16 & 0xFF) * 10 + (d >> 24);
  p += 8 + (p[8] == '\r');
  return *p == '\n' ? p + 1 : nullptr;
}

const char* format_fixed(int64_t units, int64_t per_unit, int decimals, char (&text)[32]) {
  const uint64_t magnitude =
      units < 0 ? 0 - static_cast<uint64_t>(units) : static_cast<uint64_t>(units);
  const uint64_t whole = magnitude / static_cast<uint64_t>(per_unit);
  const uint64_t part = magnitude % static_cast<uint64_t>(per_unit);
  std::snprintf(text, sizeof text, "%s%" PRIu64 ".%0*" PRIu64, units < 0 ? "-" : "", whole,
                decimals, part);
  return text;
}

}  // namespace

const char* parse_step_line(const char* p, int64_t* units) {
  const bool negative = *p == '-';
  p += negative;
  const char* digits = p;
  uint64_t whole = 0;  // wraps on a long run of digits, which is refused below
  for (; is_digit(*p); p++) whole = whole * 10 + static_cast<uint64_t>(*p - '0');
  uint64_t fraction = 0;
  if (p == digits || p - digits > kMostWholeDigits) return nullptr;
  const char* next = parse_fraction(p, &fraction);
  const uint64_t value = whole * 10000 + fraction;
  if (next == nullptr || value > static_cast<uint64_t>(INT64_MAX)) return nullptr;
  *units = negative ? -static_cast<int64_t>(value) : static_cast<int64_t>(value);
  return next;
}

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

const char* plural(uint64_t count) { return count == 1 ? "" : "s"; }

const char* format_period(const PeriodRecord& period, char (&text)[256]) {
  char start[32], end[32], length[32], typical[32], share[32], min[32], max[32];
  std::snprintf(text, sizeof text,
                "period %" PRId64 ": %s to %s (%s), %" PRIu64
                " step%s, typical %s ms (%5s%%), min %s ms, max %s ms",
                period.number, format_clock(period.start, start), format_clock(period.end, end),
                format_clock(period.end - period.start, length), period.steps, plural(period.steps),
                period.has_typical ? format_ms(period.typical, typical) : "?",
                period.has_typical ? format_share(period.typical_count, period.steps, share) : "?",
                format_ms(period.min, min), format_ms(period.max, max));
  return text;
}
