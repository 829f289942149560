#include "step_line.h"

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
