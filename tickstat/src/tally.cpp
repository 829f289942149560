#include "tally.h"

#include <cinttypes>

#include "step_line.h"

namespace {

const uint32_t kSizeSlots = 2 * kMostSizes;  // half full at most, so probes stay short

Tally the_tally;
SizeCount size_slots[kSizeSlots];
SizeCount* size_direct[kDirectSizes];
uint32_t size_used[kMostSizes];
uint32_t size_touched[kMostSizes];

void print_second(const Tally& tally, const char* note, FILE* out) {
  const SizeCount* typical = most_frequent_recent(tally.sizes);
  char size[32], min[32], max[32];
  // Every size of the second may have come after the table filled up.
  const double share = typical == nullptr ? 0
                                          : 100.0 * static_cast<double>(typical->recent) /
                                                static_cast<double>(tally.second_steps);
  std::fprintf(
      out,
      "second %5" PRId64 ": %8" PRIu64 " steps, typical %s ms (%5.1f%%), min %s ms, max %s ms%s\n",
      tally.second, tally.second_steps, typical == nullptr ? "?" : format_ms(typical->size, size),
      share, format_ms(tally.second_min, min), format_ms(tally.second_max, max), note);
  std::fflush(out);
}

void fold_extremes(Tally* tally, int64_t min, int64_t max) {
  if (min < tally->min) tally->min = min;
  if (max > tally->max) tally->max = max;
}

void start_second(Tally* tally, int64_t number) {
  forget_recent(&tally->sizes);
  tally->second = number;
  tally->second_end = number * kUnitsPerSecond;
  tally->second_steps = 0;
  tally->second_min = INT64_MAX;
  tally->second_max = INT64_MIN;
}

void print_event(const char* what, int64_t units, int64_t at, FILE* out) {
  char size[32], when[32];
  std::fprintf(out, "%s: %s ms at %s s\n", what, format_ms(units, size), format_seconds(at, when));
  std::fflush(out);
}

}  // namespace

Tally* start_tally() {
  the_tally = Tally{};
  the_tally.min = INT64_MAX;
  the_tally.max = INT64_MIN;
  init_size_table(&the_tally.sizes, size_slots, size_direct, size_used, size_touched, kSizeSlots);
  start_second(&the_tally, 1);
  return &the_tally;
}

void take_step(Tally* tally, int64_t units, FILE* out) {
  tally->steps++;
  count_size(&tally->sizes, &tally->last, units);
  if (units >= 0 && units <= kUnitsPerSecond) {
    tally->second_steps++;
    if (units < tally->second_min) tally->second_min = units;
    if (units > tally->second_max) tally->second_max = units;
    tally->elapsed += units;
    if (tally->elapsed < tally->second_end) return;
    print_second(*tally, "", out);
    fold_extremes(tally, tally->second_min, tally->second_max);
    start_second(tally, tally->elapsed / kUnitsPerSecond + 1);
  } else {
    // Kept out of the seconds, typical step included: not time that passed, but a
    // clock set back or forward.
    if (tally->last != nullptr) uncount_recent(&tally->sizes, tally->last);
    units < 0 ? tally->backward++ : tally->jumps++;
    fold_extremes(tally, units, units);
    print_event(units < 0 ? "backward step" : "forward jump", units, tally->elapsed, out);
  }
}

void close_partial_second(Tally* tally, FILE* out) {
  if (tally->second_steps == 0) return;
  print_second(*tally, " (partial)", out);
  fold_extremes(tally, tally->second_min, tally->second_max);
}
