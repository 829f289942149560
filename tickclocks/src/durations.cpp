#include "durations.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

// Digits after the point that leave significant digits in all, for a value of at least 0.
int decimals_for(double value, int significant) {
  int whole = 1;
  while (whole < significant && value >= std::pow(10.0, whole)) whole++;
  return significant - whole;
}

// The value rounded half away from zero, as llround does on every platform (printf's
// rounding of an exact half is not the same in every runtime).
const char* format_fixed(double value, int decimals, bool trim, const char* unit,
                         char (&text)[32]) {
  long long scale = 1;
  for (int i = 0; i < decimals; i++) scale *= 10;
  const long long scaled = std::llround(value * static_cast<double>(scale));
  if (decimals == 0) {
    std::snprintf(text, sizeof text, "%lld %s", scaled, unit);
    return text;
  }
  // Held to 9 decimals, so that the compiler sees the text fit.
  char fraction[24];
  std::snprintf(fraction, sizeof fraction, "%09lld", scaled % scale);
  int length = decimals > 9 ? 9 : decimals;
  std::memmove(fraction, fraction + 9 - length, static_cast<size_t>(length) + 1);
  while (trim && length > 0 && fraction[length - 1] == '0') fraction[--length] = '\0';
  char whole[64];
  std::snprintf(whole, sizeof whole, "%lld%s%s %s", scaled / scale, length > 0 ? "." : "", fraction,
                unit);
  std::snprintf(text, sizeof text, "%.31s", whole);
  return text;
}

const char* format_significant(double ns, int significant, bool trim, char (&text)[32]) {
  static const struct {
    const char* unit;
    double ns;
  } kUnits[] = {{"ns", 1}, {"us", 1e3}, {"ms", 1e6}, {"s", 1e9}};
  if (!(ns >= 0)) ns = 0;
  for (const auto& unit : kUnits) {
    const double value = ns / unit.ns;
    const int decimals = decimals_for(value, significant);
    // Rounded up to 1000 of its unit, it is shown in the next one: "1 ms", not "1000.0 us".
    if (value * std::pow(10.0, decimals) + 0.5 < 1000 * std::pow(10.0, decimals) ||
        std::strcmp(unit.unit, "s") == 0) {
      return format_fixed(value, decimals < 0 ? 0 : decimals, trim, unit.unit, text);
    }
  }
  return text;
}

}  // namespace

const char* format_duration(double ns, char (&text)[32]) {
  return format_significant(ns, 5, true, text);
}

const char* format_cost(double ns, char (&text)[32]) {
  return format_significant(ns, 3, false, text);
}

const char* format_rate(double ppm, char (&text)[32]) {
  if (std::fabs(ppm) < 0.05) {
    std::snprintf(text, sizeof text, "0.0 ppm");
  } else if (std::fabs(ppm) < 999.95) {
    std::snprintf(text, sizeof text, "%+.1f ppm", ppm);
  } else {
    std::snprintf(text, sizeof text, "%+.2f%%", ppm / 1e4);
  }
  return text;
}

const char* format_count(uint64_t count, char (&text)[32]) {
  if (count < 1000000) {
    std::snprintf(text, sizeof text, "%llu", static_cast<unsigned long long>(count));
  } else {
    std::snprintf(text, sizeof text, "%.1fM", static_cast<double>(count) / 1e6);
  }
  return text;
}
