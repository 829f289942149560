#include "summary.h"

#include <algorithm>
#include <cinttypes>
#include <cmath>

#include "clock_settings.h"
#include "units.h"
#include "wrapping.h"

namespace {

const int kTableRows = 10;
const int kBarWidth = 40;

double share(uint64_t count, uint64_t total) {
  return static_cast<double>(count) / static_cast<double>(total);
}

// A bar of '#' as long as the share; a share shown as 0.0% has none, any other at least one.
const char* bar(uint64_t count, uint64_t total) {
  static const char kFull[] = "########################################";
  static_assert(sizeof kFull == kBarWidth + 1, "one '#' per column");
  if (count * 2000 / total == 0) return "";
  const long width = std::max(1L, std::lround(share(count, total) * kBarWidth));
  return kFull + kBarWidth - width;
}

// Prints a line of the summary from column onward, broken to fit a console.
void print_line(FILE* out, int column, const char* text) {
  print_wrapped(out, column, text);
  std::fputc('\n', out);
}

// A count as the rows show it: exact, or marked as one that may fall short.
const char* count_text(const FrequentSize& row, char (&text)[32]) {
  std::snprintf(text, sizeof text, "%s%" PRIu64, row.exact ? "" : ">=", row.count);
  return text;
}

void print_size_rows(FILE* out, const Tally& tally) {
  FrequentSize rows[kTableRows];
  const uint32_t count = most_frequent(tally.sizes, rows, kTableRows);
  std::fprintf(out, "\n%16s %12s %7s\n", "step", "count", "share");
  uint64_t shown = 0;
  bool exact = true;
  char size[32], steps[32], percent[32];
  for (uint32_t i = 0; i < count; i++) {
    shown += rows[i].count;
    exact = exact && rows[i].exact;
    const char* drawn = bar(rows[i].count, tally.steps);
    std::fprintf(out, "%13s ms %12s %6s%%%s%s\n", format_ms(rows[i].size, size),
                 count_text(rows[i], steps), format_share(rows[i].count, tally.steps, percent),
                 *drawn != '\0' ? "  " : "", drawn);
  }
  if (shown < tally.steps) {
    // What a count marked >= falls short by, the rest of the steps may hold too many.
    const uint64_t others = sizes_known(tally.sizes) - count;
    std::snprintf(steps, sizeof steps, "%s%" PRIu64, exact ? "" : "<=", tally.steps - shown);
    std::fprintf(out, "%16s %12s %6s%%  (%" PRIu64 " other size%s%s)\n", "other", steps,
                 format_share(tally.steps - shown, tally.steps, percent), others, plural(others),
                 tally.sizes.untabled_sizes.shortfall > 0 ? " and more" : "");
  }
}

// The smallest size that at least rank of the tabled steps do not exceed; sorted by size.
int64_t size_at_rank(const SizeTable& sizes, uint64_t rank) {
  uint64_t seen = 0;
  for (uint32_t i = 0; i < sizes.used_count; i++) {
    seen += entry_at(sizes, i).count;
    if (seen >= rank) return entry_at(sizes, i).size;
  }
  return entry_at(sizes, sizes.used_count - 1).size;
}

// Which figures leave out the steps that came after the table filled, and by how much.
void print_approximate(FILE* out, const SizeTable& sizes) {
  char text[384], short_by[160] = "";
  if (sizes.untabled_sizes.shortfall > 0) {
    std::snprintf(short_by, sizeof short_by,
                  ", counts marked >= may each be short by up to %" PRIu64
                  " step%s and one marked <= over by what they lack",
                  sizes.untabled_sizes.shortfall, plural(sizes.untabled_sizes.shortfall));
  }
  std::snprintf(text, sizeof text,
                "approximate: %" PRIu64 " step%s came after the first %" PRIu32
                " sizes filled the table; the median and the 99th percentile leave them out%s, "
                "and seconds and periods where they might outnumber the typical step show none",
                sizes.untabled, plural(sizes.untabled), sizes.limit, short_by);
  print_line(out, 0, text);
}

void print_percentiles(FILE* out, const Tally& tally) {
  const uint64_t tabled = tally.steps - tally.sizes.untabled;
  sort_by_size(tally.sizes);
  char text[256], min[32], median[32], p99[32], max[32];
  std::snprintf(text, sizeof text, "min %s ms, median %s ms, 99th percentile %s ms, max %s ms",
                format_ms(tally.min, min),
                format_ms(size_at_rank(tally.sizes, (tabled + 1) / 2), median),
                format_ms(size_at_rank(tally.sizes, (tabled * 99 + 99) / 100), p99),
                format_ms(tally.max, max));
  std::fputc('\n', out);
  print_line(out, 0, text);
  if (tally.sizes.untabled > 0) print_approximate(out, tally.sizes);
}

// The longest periods in the order they began, and how many shorter ones are left out.
void print_periods(FILE* out, const Tally& tally) {
  const LongestPeriods& longest = tally.longest;
  std::fprintf(out, "\n%11s %11s %14s %7s\n", "start", "length", "typical", "share");
  char start[32], length[32], typical[32], percent[32];
  for (int i = 0; i < longest.count; i++) {
    const PeriodRecord& period = longest.rows[i];
    std::fprintf(
        out, "%11s %11s %11s ms %6s%%\n", format_moment(period.start, start),
        format_length(period.start, period.end, length),
        period.has_typical ? format_ms(period.typical, typical) : "?",
        period.has_typical ? format_share(period.typical_count, period.steps, percent) : "?");
  }
  if (longest.left_out > 0) {
    std::fprintf(out, "(%" PRIu64 " shorter period%s not shown)\n", longest.left_out,
                 plural(longest.left_out));
  }
}

// The machine's clock settings when the run began and when it ended, where they are known,
// each below its heading: most fit one line there.
void print_settings(FILE* out, const Tally& tally) {
  char settings[192];
  if (*describe_settings(tally.settings_at_start, true, settings) == '\0') return;
  std::fputs("clock settings at the start:\n  ", out);
  print_line(out, 2, settings);
  std::fputs("clock settings at the end:\n  ", out);
  print_line(out, 2, describe_settings(tally.settings, true, settings));
}

}  // namespace

void print_summary(const Tally& tally, FILE* out) {
  char covered[32], line[256];
  std::snprintf(line, sizeof line, "%" PRIu64 " step%s covering %s s of clock time", tally.steps,
                plural(tally.steps), format_seconds(tally.elapsed, covered));
  std::fputc('\n', out);
  print_line(out, 0, line);
  std::fprintf(out, "%" PRIu64 " backward step%s, %" PRIu64 " forward jump%s over 1 s\n",
               tally.backward, plural(tally.backward), tally.jumps, plural(tally.jumps));
  print_settings(out, tally);
  if (tally.periods > 0) print_periods(out, tally);
  print_size_rows(out, tally);
  print_percentiles(out, tally);
}
