#include "svg_output.h"

#include <algorithm>
#include <cinttypes>
#include <cmath>

#include "periods.h"
#include "units.h"

namespace {

// The run's seconds, a bucket for each width of them; when the buckets fill, neighbours
// merge and the width doubles, so a week takes the memory of a minute.
const int64_t kBuckets = 512;
const double kLeft = 90, kRight = 930, kTop = 50, kBottom = 330;  // the upper chart
const double kBarsTop = 440, kSettingsRow = 20, kBarHeight = 18, kBarsLeft = 190, kBarsWidth = 560;
const int kBars = 10;
// The time labels' baseline under the axis: below the strip of the clock-event marks,
// which reach 10 under it, by a 12-pixel font's height.
const double kLabelsBelow = 26;

// The clock times of the first and the last of a kind of clock event; first > last: none.
struct EventTimes {
  int64_t first;
  int64_t last;
};

const EventTimes kNoEvents = {INT64_MAX, INT64_MIN};

struct Bucket {
  int64_t start;  // clock time
  int64_t end;
  int64_t typical;  // the typical step of its second with the most of them
  uint64_t typical_count;
  int64_t min;
  int64_t max;
  uint64_t backward;
  uint64_t jumps;
  EventTimes backward_at;
  EventTimes jumps_at;
  int64_t timer;        // the timer interval at its start, 0 where not known
  uint64_t periods;     // how many periods other than the first begin in it
  PeriodRecord period;  // the first period other than the first to begin in it; number 0: none
  bool has_typical;
  bool sync_started;  // time synchronisation started in it
  bool sync_stopped;
};

FILE* svg;
double bars_top;  // the size chart's top, below one legend row or two
bool live_run;    // the input was live to its end: the machine's settings were its own
Bucket buckets[kBuckets];
EventTimes open_backward;  // of the clock events of the second being filled
EventTimes open_jumps;
int64_t used;
int64_t width = 1;  // seconds per bucket
int last_sync;      // whether the last second's clock was synchronised: 1, 0, or -1 unknown

EventTimes spanning(const EventTimes& a, const EventTimes& b) {
  return EventTimes{std::min(a.first, b.first), std::max(a.last, b.last)};
}

Bucket merged(const Bucket& a, const Bucket& b) {
  Bucket m = a;
  m.end = b.end;
  if (b.has_typical && (!a.has_typical || b.typical_count > a.typical_count)) {
    m.typical = b.typical;
    m.typical_count = b.typical_count;
    m.has_typical = true;
  }
  m.min = a.min < b.min ? a.min : b.min;
  m.max = a.max > b.max ? a.max : b.max;
  m.backward += b.backward;
  m.jumps += b.jumps;
  m.backward_at = spanning(a.backward_at, b.backward_at);
  m.jumps_at = spanning(a.jumps_at, b.jumps_at);
  if (m.period.number == 0) m.period = b.period;
  m.periods += b.periods;
  if (m.timer == 0) m.timer = b.timer;
  m.sync_started = a.sync_started || b.sync_started;
  m.sync_stopped = a.sync_stopped || b.sync_stopped;
  return m;
}

void halve() {
  for (int64_t i = 0; i < kBuckets / 2; i++)
    buckets[i] = merged(buckets[2 * i], buckets[2 * i + 1]);
  used = kBuckets / 2;
  width *= 2;
}

// Whether time synchronisation adjusts the clock (Windows' time adjustment, or the
// kernel's synchronised state): 1, 0, or -1 where neither is known.
int sync_state(const ClockSettings& settings) {
  if (settings.has_adjustment) return settings.adjusting ? 1 : 0;
  if (settings.has_sync) return settings.synchronised ? 1 : 0;
  return -1;
}

void take_second(const SecondRecord& s) {
  int64_t index = (s.number - 1) / width;
  if (index >= kBuckets) {
    halve();
    index = (s.number - 1) / width;
  }
  const int sync = sync_state(s.settings);
  const Bucket b = {s.start,
                    s.end,
                    s.typical,
                    s.typical_count,
                    s.min,
                    s.max,
                    s.backward,
                    s.jumps,
                    open_backward,
                    open_jumps,
                    s.settings.has_timer ? s.settings.timer : 0,
                    0,
                    {},
                    s.has_typical,
                    last_sync == 0 && sync == 1,
                    last_sync == 1 && sync == 0};
  if (sync >= 0) last_sync = sync;
  open_backward = open_jumps = kNoEvents;
  if (index < used) {
    buckets[index] = merged(buckets[index], b);
  } else {
    buckets[used++] = b;
  }
}

void take_period(const PeriodRecord& period) {
  if (period.number == 1) return;
  const int64_t index = period.start / kUnitsPerSecond / width;
  if (index >= used) return;
  if (buckets[index].periods++ == 0) buckets[index].period = period;
}

void take_event(const ClockEvent& event) {
  EventTimes* times = event.units < 0 ? &open_backward : &open_jumps;
  *times = spanning(*times, EventTimes{event.at, event.at});
}

const Output kSvg = {take_second, take_period, take_event, nullptr, nullptr};

// The picture's scales: clock time across, milliseconds upwards on a log scale.
struct Scale {
  int64_t total;  // clock time
  int low;        // powers of ten of ms at the bottom and top
  int high;
};

double x_at(const Scale& scale, int64_t clock) {
  return kLeft + (kRight - kLeft) * static_cast<double>(clock) / static_cast<double>(scale.total);
}

double y_at(const Scale& scale, int64_t units) {
  const double ms = static_cast<double>(units < 1 ? 1 : units) / 10000;
  return kBottom - (kBottom - kTop) * (std::log10(ms) - scale.low) / (scale.high - scale.low);
}

// A bucket of seconds that held clock events alone has no steps to draw.
bool has_steps(const Bucket& bucket) { return bucket.min <= bucket.max; }

Scale scale_of_buckets() {
  int64_t low = kUnitsPerSecond, high = 1;  // steps in seconds are at most one
  for (int64_t i = 0; i < used; i++) {
    if (!has_steps(buckets[i])) continue;
    if (buckets[i].min < low) low = buckets[i].min;
    if (buckets[i].max > high) high = buckets[i].max;
    if (buckets[i].timer != 0) low = std::min(low, buckets[i].timer);
    high = std::max(high, buckets[i].timer);
  }
  if (low > high) low = high = 10000;  // clock events alone: a scale around 1 ms
  Scale scale = {used > 0 ? buckets[used - 1].end : 1, 0, 0};
  if (scale.total <= 0) scale.total = 1;
  scale.low =
      static_cast<int>(std::floor(std::log10(static_cast<double>(low < 1 ? 1 : low) / 10000)));
  scale.high = static_cast<int>(std::ceil(std::log10(static_cast<double>(high) / 10000)));
  if (scale.high <= scale.low) scale.high = scale.low + 1;
  return scale;
}

const char* ms_label(int power, char (&text)[32]) {
  std::snprintf(text, sizeof text, "%.*f ms", power < 0 ? -power : 0, std::pow(10.0, power));
  return text;
}

void draw_value_axis(const Scale& scale) {
  char label[32];
  for (int power = scale.low; power <= scale.high; power++) {
    const double y = y_at(scale, static_cast<int64_t>(std::llround(std::pow(10.0, power) * 10000)));
    std::fprintf(svg,
                 "<line x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" y2=\"%.1f\" stroke=\"#ddd\"/>\n"
                 "<text x=\"%.1f\" y=\"%.1f\" text-anchor=\"end\">%s</text>\n",
                 kLeft, y, kRight, y, kLeft - 6, y + 4, ms_label(power, label));
  }
  std::fprintf(svg,
               "<text transform=\"translate(16 %.1f) rotate(-90)\" text-anchor=\"middle\">"
               "typical step, ms (log scale)</text>\n",
               (kTop + kBottom) / 2);
}

// A tick every so many seconds, the first of these that leaves at most eight.
int64_t tick_seconds(int64_t total_seconds) {
  static const int64_t kTicks[] = {1,     2,     5,     10,    15,     30,    60,
                                   120,   300,   600,   900,   1800,   3600,  7200,
                                   10800, 21600, 43200, 86400, 172800, 604800};
  for (const int64_t tick : kTicks) {
    if (total_seconds / tick <= 8) return tick;
  }
  return (total_seconds / 8 / 604800 + 1) * 604800;
}

void draw_time_axis(const Scale& scale) {
  const int64_t tick = tick_seconds(scale.total / kUnitsPerSecond);
  char label[32];
  for (int64_t t = 0; t * kUnitsPerSecond <= scale.total; t += tick) {
    const double x = x_at(scale, t * kUnitsPerSecond);
    std::fprintf(svg,
                 "<line x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" y2=\"%.1f\" stroke=\"#999\"/>\n"
                 "<text x=\"%.1f\" y=\"%.1f\" text-anchor=\"middle\">%s</text>\n",
                 x, kBottom, x, kBottom + 5, x, kBottom + kLabelsBelow,
                 format_clock(t * kUnitsPerSecond, label));
  }
  std::fprintf(svg,
               "<line x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" y2=\"%.1f\" stroke=\"#999\"/>\n"
               "<text x=\"%.1f\" y=\"%.1f\" text-anchor=\"middle\">clock time (h:mm:ss)</text>\n",
               kLeft, kBottom, kRight, kBottom, (kLeft + kRight) / 2, kBottom + kLabelsBelow + 18);
}

// The band from each bucket's smallest to its largest step, and its typical step.
void draw_steps(const Scale& scale) {
  if (used == 0) return;
  std::fputs("<path fill=\"#9ecae1\" fill-opacity=\"0.6\" stroke=\"none\" d=\"", svg);
  const char* band = "M";
  for (int64_t i = 0; i < used; i++) {
    if (!has_steps(buckets[i])) continue;
    std::fprintf(svg, "%s%.1f %.1f H%.1f", band, x_at(scale, buckets[i].start),
                 y_at(scale, buckets[i].max), x_at(scale, buckets[i].end));
    band = "L";
  }
  for (int64_t i = used - 1; i >= 0; i--) {
    if (!has_steps(buckets[i])) continue;
    std::fprintf(svg, "L%.1f %.1f H%.1f", x_at(scale, buckets[i].end), y_at(scale, buckets[i].min),
                 x_at(scale, buckets[i].start));
  }
  if (*band == 'L') std::fputc('Z', svg);
  std::fputs("\"/>\n<path fill=\"none\" stroke=\"#08519c\" stroke-width=\"2\" d=\"", svg);
  const char* move = "M";
  for (int64_t i = 0; i < used; i++) {
    if (!buckets[i].has_typical) continue;
    std::fprintf(svg, "%s%.1f %.1f H%.1f", move, x_at(scale, buckets[i].start),
                 y_at(scale, buckets[i].typical), x_at(scale, buckets[i].end));
    move = "L";
  }
  std::fputs("\"/>\n", svg);
}

// Writes text as an element's content, where a length too short to show, "<0:00:00.1",
// must not start a tag.
void put_text(const char* text) {
  for (; *text != '\0'; text++) {
    if (*text == '<') {
      std::fputs("&lt;", svg);
    } else if (*text == '&') {
      std::fputs("&amp;", svg);
    } else {
      std::fputc(*text, svg);
    }
  }
}

// A period's figures as its title, which a browser shows under the pointer.
void print_period_title(const PeriodRecord& period, uint64_t more) {
  char figures[256];
  std::fputs("<title>", svg);
  put_text(format_period(period, "", figures));
  if (more > 0) std::fprintf(svg, "; %" PRIu64 " more period%s begin here", more, plural(more));
  std::fputs("</title>", svg);
}

// Period boundaries as dashed lines, and the longest periods labelled with their step;
// each with the period's figures as its title, a wider clear line to rest the pointer on.
void draw_periods(const Scale& scale, const LongestPeriods& longest) {
  for (int64_t i = 0; i < used; i++) {
    if (buckets[i].periods == 0) continue;
    const double x = x_at(scale, buckets[i].start);
    std::fputs("<g>", svg);
    print_period_title(buckets[i].period, buckets[i].periods - 1);
    std::fprintf(svg,
                 "<line x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" y2=\"%.1f\" stroke=\"#e6550d\" "
                 "stroke-dasharray=\"4 3\"/><line x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" y2=\"%.1f\" "
                 "stroke=\"#e6550d\" stroke-opacity=\"0\" stroke-width=\"9\"/></g>\n",
                 x, kTop, x, kBottom, x, kTop, x, kBottom);
  }
  char typical[32];
  for (int i = 0; i < longest.count; i++) {
    const PeriodRecord& period = longest.rows[i];
    if (!period.has_typical) continue;
    std::fprintf(svg, "<text x=\"%.1f\" y=\"%.1f\" fill=\"#a63603\">%s ms",
                 x_at(scale, period.start) + 4, kTop - 8 + 12.0 * (i % 2),
                 format_ms(period.typical, typical));
    print_period_title(period, 0);
    std::fputs("</text>\n", svg);
  }
}

// A mark under the time axis for count steps that set the clock, titled with how many
// and when, in the clock time of each as its line gives it.
void draw_event_mark(double x, uint64_t count, const EventTimes& times, const char* what,
                     const char* colour) {
  char first[32];
  std::fprintf(svg, "<path d=\"M%.1f %.1f l-5 9 h10 Z\" fill=\"%s\"><title>%" PRIu64 " %s%s ", x,
               kBottom + 1, colour, count, what, plural(count));
  if (count == 1) {
    std::fprintf(svg, "at %s</title></path>\n", format_moment(times.first, first));
  } else {
    char last[32];
    std::fprintf(svg, "between %s and %s</title></path>\n", format_moment(times.first, first),
                 format_moment(times.last, last));
  }
}

// Steps that set the clock, as marks under the time axis: red backwards, green forward.
void draw_events(const Scale& scale) {
  for (int64_t i = 0; i < used; i++) {
    const double x = x_at(scale, buckets[i].start);
    if (buckets[i].backward > 0) {
      draw_event_mark(x, buckets[i].backward, buckets[i].backward_at, "backward step", "#cb181d");
    }
    if (buckets[i].jumps > 0) {
      draw_event_mark(x, buckets[i].jumps, buckets[i].jumps_at, "forward jump", "#31a354");
    }
  }
}

void draw_legend() {
  const double y = kBottom + 58;
  std::fprintf(svg,
               "<rect x=\"%.1f\" y=\"%.1f\" width=\"14\" height=\"10\" fill=\"#9ecae1\"/>"
               "<text x=\"%.1f\" y=\"%.1f\">smallest to largest step</text>\n"
               "<path d=\"M%.1f %.1f h14\" stroke=\"#08519c\" stroke-width=\"2\"/>"
               "<text x=\"%.1f\" y=\"%.1f\">typical step</text>\n"
               "<path d=\"M%.1f %.1f l-5 9 h10 Z\" fill=\"#cb181d\"/>"
               "<text x=\"%.1f\" y=\"%.1f\">clock set back</text>\n"
               "<path d=\"M%.1f %.1f l-5 9 h10 Z\" fill=\"#31a354\"/>"
               "<text x=\"%.1f\" y=\"%.1f\">clock set forward</text>\n",
               kLeft, y, kLeft + 20, y + 10, kLeft + 200, y + 5, kLeft + 220, y + 10, kLeft + 340,
               y, kLeft + 350, y + 10, kLeft + 470, y, kLeft + 480, y + 10);
}

// The rows of the size chart, which the picture's height fits.
uint32_t size_rows(const Tally& tally) {
  return std::min<uint32_t>(sizes_known(tally.sizes), kBars);
}

// The timer interval as a line of its own on the steps' scale; false when it is not known.
bool draw_timer(const Scale& scale) {
  const char* move = "M";
  for (int64_t i = 0; i < used; i++) {
    if (buckets[i].timer == 0) continue;
    if (*move == 'M') {
      std::fputs(
          "<path fill=\"none\" stroke=\"#756bb1\" stroke-width=\"2\" stroke-dasharray=\"6 3\" d=\"",
          svg);
    }
    std::fprintf(svg, "%s%.1f %.1f H%.1f", move, x_at(scale, buckets[i].start),
                 y_at(scale, buckets[i].timer), x_at(scale, buckets[i].end));
    move = "L";
  }
  if (*move == 'L') std::fputs("\"/>\n", svg);
  return *move == 'L';
}

// Time synchronisation starting (filled) and stopping (hollow) as diamonds on the time
// axis; false when it did neither.
bool draw_sync_changes(const Scale& scale) {
  bool any = false;
  for (int64_t i = 0; i < used; i++) {
    const Bucket& b = buckets[i];
    if (!b.sync_started && !b.sync_stopped) continue;
    std::fprintf(svg,
                 "<path d=\"M%.1f %.1f l5 5 l-5 5 l-5 -5 Z\" fill=\"%s\" stroke=\"#54278f\"/>\n",
                 x_at(scale, b.start), kBottom - 5, b.sync_started ? "#54278f" : "white");
    any = true;
  }
  return any;
}

// The settings drawn, and their legend on a row of its own under the other.
void draw_settings(const Scale& scale) {
  if (!live_run) return;
  const double y = kBottom + 74;
  if (draw_timer(scale)) {
    std::fprintf(svg,
                 "<path d=\"M%.1f %.1f h14\" stroke=\"#756bb1\" stroke-width=\"2\" "
                 "stroke-dasharray=\"6 3\"/><text x=\"%.1f\" y=\"%.1f\">timer interval</text>\n",
                 kLeft, y + 5, kLeft + 20, y + 10);
  }
  if (draw_sync_changes(scale)) {
    std::fprintf(svg,
                 "<path d=\"M%.1f %.1f l5 5 l-5 5 l-5 -5 Z\" fill=\"#54278f\"/>"
                 "<text x=\"%.1f\" y=\"%.1f\">synchronisation started</text>\n"
                 "<path d=\"M%.1f %.1f l5 5 l-5 5 l-5 -5 Z\" fill=\"white\" stroke=\"#54278f\"/>"
                 "<text x=\"%.1f\" y=\"%.1f\">synchronisation stopped</text>\n",
                 kLeft + 205, y, kLeft + 220, y + 10, kLeft + 375, y, kLeft + 390, y + 10);
  }
}

// Whether the picture draws a clock setting, whose legend takes a row of its own.
bool settings_shown() {
  if (!live_run) return false;
  for (int64_t i = 0; i < used; i++) {
    if (buckets[i].timer != 0 || buckets[i].sync_started || buckets[i].sync_stopped) return true;
  }
  return false;
}

void draw_sizes(const Tally& tally) {
  FrequentSize rows[kBars];
  const uint32_t count = most_frequent(tally.sizes, rows, kBars);
  std::fprintf(svg, "<text x=\"%.1f\" y=\"%.1f\">most frequent step sizes</text>\n", kLeft,
               bars_top - 14);
  char size[32], percent[32];
  for (uint32_t i = 0; i < count; i++) {
    const double share = static_cast<double>(rows[i].count) / static_cast<double>(tally.steps);
    const double y = bars_top + static_cast<double>(i) * (kBarHeight + 4);
    std::fprintf(svg,
                 "<text x=\"%.1f\" y=\"%.1f\" text-anchor=\"end\">%s ms</text>\n"
                 "<rect x=\"%.1f\" y=\"%.1f\" width=\"%.1f\" height=\"%.1f\" fill=\"#3182bd\"/>\n"
                 "<text x=\"%.1f\" y=\"%.1f\">%s%" PRIu64 " (%s%%)</text>\n",
                 kBarsLeft - 8, y + 13, format_ms(rows[i].size, size), kBarsLeft, y,
                 kBarsWidth * share < 1 ? 1 : kBarsWidth * share, kBarHeight,
                 kBarsLeft + kBarsWidth * share + 6, y + 13, rows[i].exact ? "" : "at least ",
                 rows[i].count, format_share(rows[i].count, tally.steps, percent));
  }
}

// The picture's frame, as tall as its size rows need, and its title: the steps, the
// clock time and the periods, and when a live run began.
void draw_title(const Tally& tally, const std::tm* began) {
  char began_text[48] = "", total[32], title[192];
  if (began != nullptr) {
    std::snprintf(began_text, sizeof began_text, ", run began %04d-%02d-%02d %02d:%02d",
                  began->tm_year + 1900, began->tm_mon + 1, began->tm_mday, began->tm_hour,
                  began->tm_min);
  }
  std::snprintf(title, sizeof title,
                "%" PRIu64 " step%s over %s of clock time, %" PRIu64 " period%s%s", tally.steps,
                plural(tally.steps), format_length(0, tally.elapsed, total), tally.periods,
                plural(tally.periods), began_text);
  const double height = bars_top + size_rows(tally) * (kBarHeight + 4) + 20;
  std::fprintf(svg,
               "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
               "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"960\" height=\"%.0f\" "
               "viewBox=\"0 0 960 %.0f\" font-family=\"sans-serif\" font-size=\"12\">\n"
               "<rect width=\"100%%\" height=\"100%%\" fill=\"white\"/>\n"
               "<text x=\"%.1f\" y=\"20\" font-size=\"15\">",
               height, height, kLeft);
  put_text(title);
  std::fputs("</text>\n", svg);
}

}  // namespace

const Output* start_svg_output() {
  used = 0;
  width = 1;
  open_backward = open_jumps = kNoEvents;
  last_sync = -1;
  return &kSvg;
}

bool draw_svg(FILE* file, const Tally& tally, const std::tm* began) {
  svg = file;
  live_run = tally.pace == Pace::live;
  const Scale scale = scale_of_buckets();
  bars_top = kBarsTop + (settings_shown() ? kSettingsRow : 0);
  draw_title(tally, began);
  draw_value_axis(scale);
  draw_steps(scale);
  draw_periods(scale, tally.longest);
  draw_time_axis(scale);
  draw_events(scale);
  draw_settings(scale);
  draw_legend();
  draw_sizes(tally);
  std::fputs("</svg>\n", svg);
  const bool written = std::ferror(svg) == 0;
  return std::fclose(svg) == 0 && written;
}
