#include "csv_output.h"

#include <cinttypes>

#include "settings_changes.h"
#include "units.h"

namespace {

FILE* csv;

// Rows end in CR LF and hold only numbers, so no field needs quotes; the numbers are
// written from integers, so the decimal point is a full stop in any locale.
void write_row(const SecondRecord& second) {
  char typical[32], share[32], min[32], max[32];
  // A second of clock events alone has no steps, so no typical step, min or max.
  const bool has_steps = second.steps > 0;
  std::fprintf(csv, "%" PRId64 ",%" PRIu64 ",%s,%s,%s,%s,%" PRIu64 ",%" PRIu64 ",%d", second.number,
               second.steps, second.has_typical ? format_ms(second.typical, typical) : "",
               second.has_typical ? format_share(second.typical_count, second.steps, share) : "",
               has_steps ? format_ms(second.min, min) : "",
               has_steps ? format_ms(second.max, max) : "", second.backward, second.jumps,
               second.partial ? 1 : 0);
  write_settings_fields(csv, second.settings);
  std::fputs("\r\n", csv);
  // Each row whole on disk at once: a second Ctrl+C ends tickstat where it stands.
  std::fflush(csv);
}

const Output kCsv = {write_row, nullptr, nullptr, nullptr, nullptr};

}  // namespace

const Output* start_csv_output(FILE* file) {
  csv = file;
  std::fputs(
      "second,steps,typical_ms,typical_share_percent,min_ms,max_ms,backward_steps,"
      "forward_jumps,partial",
      csv);
  std::fputs(kSettingsColumns, csv);
  std::fputs("\r\n", csv);
  return &kCsv;
}

bool finish_csv_output() {
  const bool written = std::ferror(csv) == 0;
  return std::fclose(csv) == 0 && written;
}
