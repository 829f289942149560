#include "csv_file.h"

#include <cstring>

const char kCsvHeader[] =
    "row,name,kind,present,measured,read_ns,stated_ns,typical_ns,smallest_ns,steps,backward,"
    "largest_backward_ns,across_compared,across_backward,largest_across_ns,rate_ppm,rate_"
    "uncertainty_ppm,stopped,"
    "ticks_per_second,refused,setting,setting_ns,waits,median_ns,p99_ns,jump_ns";

namespace {

const char* const kKindNames[] = {"time_of_day", "interval", "cpu_time", "counter"};

// A name quoted where it holds a comma or a quote, as spreadsheets read it.
void write_name(FILE* csv, const char* name) {
  if (std::strpbrk(name, ",\"") == nullptr) {
    std::fputs(name, csv);
    return;
  }
  std::fputc('"', csv);
  for (const char* c = name; *c != '\0'; c++) {
    if (*c == '"') std::fputc('"', csv);
    std::fputc(*c, csv);
  }
  std::fputc('"', csv);
}

// ",value" in ns to the thousandth, or "," where it is not known.
void write_ns(FILE* csv, bool known, double ns) {
  if (known) {
    std::fprintf(csv, ",%.3f", ns);
  } else {
    std::fputc(',', csv);
  }
}

void write_count(FILE* csv, bool known, uint64_t count) {
  if (known) {
    std::fprintf(csv, ",%llu", static_cast<unsigned long long>(count));
  } else {
    std::fputc(',', csv);
  }
}

void write_clock_row(FILE* csv, const Clock& clock, const ClockFigures& figures) {
  const bool measured = clock.present && figures.measured;
  const bool in_ns = measured && figures.ticks_per_second > 0;
  const bool stepped = in_ns && figures.typical > 0;
  std::fputs("clock,", csv);
  write_name(csv, clock.name);
  std::fprintf(csv, ",%s,%d,%d", kKindNames[clock.kind], clock.present ? 1 : 0, measured ? 1 : 0);
  write_ns(csv, measured, figures.read_ns);
  write_ns(csv, measured && figures.stated_ns > 0, figures.stated_ns);
  write_ns(csv, stepped, ticks_ns(figures, figures.typical));
  write_ns(csv, stepped, ticks_ns(figures, figures.smallest));
  write_count(csv, measured, figures.steps);
  write_count(csv, measured, figures.backward);
  write_ns(csv, in_ns && figures.backward > 0, ticks_ns(figures, figures.largest_backward));
  write_count(csv, figures.across_measured, figures.across_compared);
  write_count(csv, figures.across_measured, figures.across_backward);
  write_ns(csv, in_ns && figures.across_backward > 0, ticks_ns(figures, figures.largest_across));
  // Only a rate that the table gives: one uncertain by 10% says nothing.
  if (measured && figures.has_rate && figures.rate_uncertainty_ppm < kLoosestRatePpm) {
    std::fprintf(csv, ",%.3f,%.3f", figures.rate_ppm, figures.rate_uncertainty_ppm);
  } else {
    std::fputs(",,", csv);
  }
  // Whether it stopped is known only against a whole step.
  write_count(csv, measured && figures.typical > 0, figures.stopped ? 1 : 0);
  write_count(csv, in_ns, static_cast<uint64_t>(figures.ticks_per_second));
  std::fputs(",,,,,,", csv);
  write_ns(csv, measured && figures.jump_ns != 0, figures.jump_ns);
  std::fputs("\r\n", csv);
}

void write_wait_row(FILE* csv, const Wait& wait, const WaitFigures& figures) {
  std::fputs("wait,", csv);
  write_name(csv, wait.name);
  std::fprintf(csv, ",,%d,%d,,,,,,,,,,,,,,,%d,%s", wait.present ? 1 : 0, figures.measured ? 1 : 0,
               figures.refused ? 1 : 0, figures.setting != nullptr ? figures.setting : "");
  write_ns(csv, figures.measured && figures.setting != nullptr,
           static_cast<double>(figures.setting_ns));
  write_count(csv, figures.measured, static_cast<uint64_t>(figures.waits));
  write_ns(csv, figures.measured, static_cast<double>(figures.median_ns));
  write_ns(csv, figures.measured, static_cast<double>(figures.p99_ns));
  std::fputs(",\r\n", csv);
}

}  // namespace

bool write_csv(const Run& run, FILE* csv) {
  std::fprintf(csv, "%s\r\n", kCsvHeader);
  for (int i = 0; i < run.clock_count; i++) write_clock_row(csv, run.clocks[i], run.figures[i]);
  if (run.waits_asked) {
    for (int i = 0; i < run.wait_count; i++) write_wait_row(csv, run.waits[i], run.wait_figures[i]);
  }
  return std::fflush(csv) == 0 && std::ferror(csv) == 0;
}
