#include "periods.h"

#include <cinttypes>
#include <cstdio>

#include "units.h"

namespace {

int64_t length(const PeriodRecord& period) { return period.end - period.start; }

// The index of the shortest kept period; the later one on a tie, so earlier ones stay.
int shortest(const LongestPeriods& longest) {
  int found = 0;
  for (int i = 1; i < longest.count; i++) {
    if (length(longest.rows[i]) <= length(longest.rows[found])) found = i;
  }
  return found;
}

}  // namespace

bool same_timer_step(int64_t period_step, int64_t step) {
  const int64_t difference = step > period_step ? step - period_step : period_step - step;
  return difference <= 100 || difference * 10 <= period_step;
}

void keep_if_long(LongestPeriods* longest, const PeriodRecord& period) {
  if (longest->count < kKeptPeriods) {
    longest->rows[longest->count++] = period;
    return;
  }
  longest->left_out++;
  const int drop = shortest(*longest);
  if (length(period) <= length(longest->rows[drop])) return;
  // Kept rows stay in the order they began: close the gap, add the new one last.
  for (int i = drop; i + 1 < kKeptPeriods; i++) longest->rows[i] = longest->rows[i + 1];
  longest->rows[kKeptPeriods - 1] = period;
}

const char* format_period(const PeriodRecord& period, const char* began, char (&text)[256]) {
  char start[32], end[32], length[32], typical[32], share[32], min[32], max[32];
  std::snprintf(text, sizeof text,
                "period %" PRId64 ": %s to %s (%s)%s%s, %" PRIu64
                " step%s, typical %s ms (%s%%), min %s ms, max %s ms",
                period.number, format_moment(period.start, start), format_moment(period.end, end),
                format_length(period.start, period.end, length), *began != '\0' ? ", " : "", began,
                period.steps, plural(period.steps),
                period.has_typical ? format_ms(period.typical, typical) : "?",
                period.has_typical ? format_share(period.typical_count, period.steps, share) : "?",
                format_ms(period.min, min), format_ms(period.max, max));
  return text;
}
