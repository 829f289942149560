#include "csv_output.h"

#include <cinttypes>

#include "settings_changes.h"
#include "units.h"

namespace {

FILE* csv;
bool (*cut)(FILE* file, int64_t size);
int64_t whole;  // the bytes of the rows written whole
bool failed;    // a row could not be written: the rows after it are not

// Writes a row in one write, straight to the file; one that is not written whole is cut
// off, so that the file ends in whole rows: a cut number would read as another.
void put_row(const char* row, int length) {
  if (failed || length <= 0) return;
  if (std::fwrite(row, 1, static_cast<size_t>(length), csv) == static_cast<size_t>(length)) {
    whole += length;
    return;
  }
  failed = true;
  cut(csv, whole);
}

// Rows end in CR LF and hold only numbers, so no field needs quotes; the numbers are
// written from integers, so the decimal point is a full stop in any locale.
void write_row(const SecondRecord& second) {
  char row[384], typical[32], share[32], min[32], max[32], settings[192];
  // A second of clock events alone has no steps, so no typical step, min or max.
  const bool has_steps = second.steps > 0;
  const int length = std::snprintf(
      row, sizeof row, "%" PRId64 ",%" PRIu64 ",%s,%s,%s,%s,%" PRIu64 ",%" PRIu64 ",%d%s\r\n",
      second.number, second.steps, second.has_typical ? format_ms(second.typical, typical) : "",
      second.has_typical ? format_share(second.typical_count, second.steps, share) : "",
      has_steps ? format_ms(second.min, min) : "", has_steps ? format_ms(second.max, max) : "",
      second.backward, second.jumps, second.partial ? 1 : 0,
      settings_fields(second.settings, settings));
  put_row(row, length);
}

const Output kCsv = {write_row, nullptr, nullptr, nullptr, nullptr};

}  // namespace

const Output* start_csv_output(FILE* file, bool (*cut_file)(FILE* file, int64_t size)) {
  csv = file;
  cut = cut_file;
  whole = 0;
  failed = false;
  // Each row whole on disk at once: a second Ctrl+C ends tickstat where it stands.
  std::setvbuf(csv, nullptr, _IONBF, 0);
  char header[384];
  const int length = std::snprintf(header, sizeof header,
                                   "second,steps,typical_ms,typical_share_percent,min_ms,max_ms,"
                                   "backward_steps,forward_jumps,partial%s\r\n",
                                   kSettingsColumns);
  put_row(header, length);
  return &kCsv;
}

bool finish_csv_output() {
  const bool written = !failed && std::ferror(csv) == 0;
  return std::fclose(csv) == 0 && written;
}
