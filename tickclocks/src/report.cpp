#include "report.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "durations.h"

namespace {

int name_width(const Run& run) {
  int width = 5;  // "clock"
  for (int i = 0; i < run.clock_count; i++) {
    width = std::max(width, static_cast<int>(std::strlen(run.clocks[i].name)));
  }
  return width;
}

bool measured(const Run& run, int i) { return run.clocks[i].present && run.figures[i].measured; }

int measured_clocks(const Run& run) {
  int count = 0;
  for (int i = 0; i < run.clock_count; i++) count += measured(run, i) ? 1 : 0;
  return count;
}

bool seen_back(const ClockFigures& figures) {
  return figures.backward > 0 || figures.across_backward > 0;
}

// A clock whose steps were seen, in ns: those the answers choose from.
bool stepped(const Run& run, int i) {
  const ClockFigures& figures = run.figures[i];
  return measured(run, i) && figures.typical > 0 && figures.ticks_per_second > 0 &&
         !figures.stopped;
}

const char* format_frequency(int64_t hertz, char (&text)[32]) {
  const double value = static_cast<double>(hertz);
  if (value >= 1e9) {
    std::snprintf(text, sizeof text, "%.3f GHz", value / 1e9);
  } else {
    std::snprintf(text, sizeof text, "%.3f MHz", value / 1e6);
  }
  return text;
}

void write_costs_table(const Run& run, FILE* out) {
  const int width = name_width(run);
  std::fprintf(out, "%-*s %9s %9s %9s %9s\n", width, "clock", "read cost", "stated", "typical",
               "smallest");
  for (int i = 0; i < run.clock_count; i++) {
    const Clock& clock = run.clocks[i];
    const ClockFigures& figures = run.figures[i];
    if (!clock.present) {
      std::fprintf(out, "%-*s  not in this system\n", width, clock.name);
      continue;
    }
    if (!figures.measured) {
      std::fprintf(out, "%-*s  not measured: the run ended first\n", width, clock.name);
      continue;
    }
    char cost[32], stated[32] = "", typical[32] = "none seen", smallest[32] = "";
    if (figures.stated_ns > 0) format_duration(figures.stated_ns, stated);
    if (figures.typical > 0 && figures.ticks_per_second > 0) {
      format_duration(ticks_ns(figures, figures.typical), typical);
      format_duration(ticks_ns(figures, figures.smallest), smallest);
    }
    std::fprintf(out, "%-*s %9s %9s %9s %9s\n", width, clock.name,
                 format_cost(figures.read_ns, cost), stated, typical, smallest);
  }
}

// The largest of some steps, blank where there were none.
const char* largest_text(const ClockFigures& figures, uint64_t count, int64_t ticks,
                         char (&text)[32]) {
  text[0] = '\0';
  if (count > 0 && figures.ticks_per_second > 0) format_duration(ticks_ns(figures, ticks), text);
  return text;
}

// The rate where it is known to the tenth of a ppm or stands far out of its uncertainty;
// else the bound it is known to lie within: "<600 ppm". Where it has none, or the run was
// too short to know it within 10%, why.
const char* rate_text(const ClockFigures& figures, char (&text)[32]) {
  const double rate = figures.rate_ppm, uncertainty = figures.rate_uncertainty_ppm;
  const bool too_short =
      figures.typical <= 0 || (figures.has_rate && uncertainty >= kLoosestRatePpm);
  std::snprintf(text, sizeof text, "%s",
                figures.stopped        ? "stopped"
                : figures.jump_ns != 0 ? "jumped"
                : too_short            ? "too short"
                                       : "");
  if (figures.ticks_found) {
    format_frequency(figures.ticks_per_second, text);
  } else if (too_short || !figures.has_rate) {
    return text;
  } else if (uncertainty <= 0.05 || std::fabs(rate) >= 10 * uncertainty) {
    format_rate(rate, text);
  } else {
    char bound[32];
    format_rate(std::fabs(rate) + uncertainty, bound);
    std::snprintf(text, sizeof text, "<%s", bound + 1);  // without its sign
  }
  return text;
}

void write_behaviour_table(const Run& run, FILE* out) {
  const int width = name_width(run);
  std::fprintf(out, "%-*s %6s %9s %6s %9s %10s\n", width, "clock", "back", "largest", "across",
               "largest", "rate");
  for (int i = 0; i < run.clock_count; i++) {
    if (!measured(run, i)) continue;
    const ClockFigures& figures = run.figures[i];
    char back[32], back_largest[32], across[32] = "-", across_largest[32], rate[32];
    if (figures.across_measured) format_count(figures.across_backward, across);
    std::fprintf(
        out, "%-*s %6s %9s %6s %9s %10s\n", width, run.clocks[i].name,
        format_count(figures.backward, back),
        largest_text(figures, figures.backward, figures.largest_backward, back_largest), across,
        largest_text(figures, figures.across_backward, figures.largest_across, across_largest),
        rate_text(figures, rate));
  }
}

void write_waits_table(const Run& run, FILE* out) {
  int width = 9;  // "1 ms wait"
  for (int i = 0; i < run.wait_count; i++) {
    width = std::max(width, static_cast<int>(std::strlen(run.waits[i].name)));
  }
  std::fprintf(out, "%-*s  %-16s %5s %10s %10s\n", width, "1 ms wait", "during", "waits", "median",
               "99%");
  for (int i = 0; i < run.wait_count; i++) {
    const Wait& wait = run.waits[i];
    const WaitFigures& figures = run.wait_figures[i];
    const char* reason = !wait.present       ? "not in this system"
                         : figures.refused   ? "refused by the system"
                         : !figures.measured ? "not measured: the run ended first"
                                             : nullptr;
    if (reason != nullptr) {
      std::fprintf(out, "%-*s  %s\n", width, wait.name, reason);
      continue;
    }
    char setting[48] = "", median[32], p99[32];
    if (figures.setting != nullptr) {
      char value[32];
      std::snprintf(setting, sizeof setting, "%s %s", figures.setting,
                    format_duration(static_cast<double>(figures.setting_ns), value));
    }
    std::fprintf(out, "%-*s  %-16s %5d %10s %10s\n", width, wait.name, setting, figures.waits,
                 format_duration(static_cast<double>(figures.median_ns), median),
                 format_duration(static_cast<double>(figures.p99_ns), p99));
  }
}

// Cheaper by more than a read cost's noise; between two that cost the same, the one the
// platform lists first, the more usual, stays the answer.
bool clearly_cheaper(const ClockFigures& a, const ClockFigures& b) {
  return a.read_ns < 0.9 * b.read_ns;
}

// The clock of a kind with the finest typical step, the cheaper on a tie; -1 for none.
// Interval clocks seen going back do not count.
int finest_clock(const Run& run, ClockKind kind) {
  int best = -1;
  double best_ns = 0;
  for (int i = 0; i < run.clock_count; i++) {
    if (run.clocks[i].kind != kind || !stepped(run, i)) continue;
    if (kind == kInterval && seen_back(run.figures[i])) continue;
    const double step_ns = ticks_ns(run.figures[i], run.figures[i].typical);
    if (best < 0 || step_ns < best_ns ||
        (step_ns == best_ns && clearly_cheaper(run.figures[i], run.figures[best]))) {
      best = i;
      best_ns = step_ns;
    }
  }
  return best;
}

// The clock of the day or interval clock with the cheapest read never seen going back.
int cheapest_clock(const Run& run) {
  int best = -1;
  for (int i = 0; i < run.clock_count; i++) {
    const ClockKind kind = run.clocks[i].kind;
    if ((kind != kTimeOfDay && kind != kInterval) || !stepped(run, i)) continue;
    if (seen_back(run.figures[i])) continue;
    if (best < 0 || clearly_cheaper(run.figures[i], run.figures[best])) best = i;
  }
  return best;
}

void write_answer(const Run& run, FILE* out, const char* question, int i) {
  char text[256];
  if (i < 0) {
    std::snprintf(text, sizeof text, "%s none seen to step", question);
  } else {
    char step[32], cost[32];
    std::snprintf(text, sizeof text, "%s %s, step %s, read %s", question, run.clocks[i].name,
                  format_duration(ticks_ns(run.figures[i], run.figures[i].typical), step),
                  format_cost(run.figures[i].read_ns, cost));
  }
  write_wrapped(out, text, 2);
}

// Whether the steps seen contradict the resolution the system states: +1 for steps at
// least twice the stated resolution and the read cost (a clock read every 25 ns cannot
// be seen to step finer than that), -1 for steps at most half the stated resolution.
int contradiction(const ClockFigures& figures) {
  // A few steps seen between pauses of a busy machine may be late updates, not the step.
  if (figures.stated_ns <= 0 || figures.steps < kLeastStepsToJudge ||
      figures.ticks_per_second <= 0) {
    return 0;
  }
  const double typical_ns = ticks_ns(figures, figures.typical);
  if (typical_ns >= 2 * std::max(figures.stated_ns, figures.read_ns)) return 1;
  if (typical_ns * 2 <= figures.stated_ns) return -1;
  return 0;
}

// Each note after a blank line that starts them.
void write_note(FILE* out, const char* text, bool* first) {
  if (*first) std::fputc('\n', out);
  *first = false;
  char line[320];
  std::snprintf(line, sizeof line, "- %s", text);
  write_wrapped(out, line, 2);
}

// The finding: steps that contradict the resolution the system states.
void write_contradiction(const Clock& clock, const ClockFigures& figures, FILE* out, bool* first) {
  const int contradicts = contradiction(figures);
  if (contradicts == 0) return;
  char text[256], step[32], stated[32];
  format_duration(ticks_ns(figures, figures.typical), step);
  format_duration(figures.stated_ns, stated);
  if (contradicts > 0) {
    std::snprintf(text, sizeof text, "%s steps by %s, though %s says %s.", clock.name, step,
                  clock.stated_by, stated);
  } else {
    std::snprintf(text, sizeof text, "%s steps by %s, finer than the %s that %s says.", clock.name,
                  step, stated, clock.stated_by);
  }
  write_note(out, text, first);
}

// What the rate column cannot say: why a clock has none.
void write_rate_note(const Clock& clock, const ClockFigures& figures, FILE* out, bool* first) {
  char text[256], length[32];
  if (figures.stopped) {
    std::snprintf(text, sizeof text, "%s did not change for the last %s of the run.", clock.name,
                  format_duration(static_cast<double>(figures.stopped_for_ns), length));
  } else if (figures.jump_ns != 0) {
    std::snprintf(text, sizeof text,
                  "%s jumped %s by %s against the reference during the run: no rate.", clock.name,
                  figures.jump_ns > 0 ? "forward" : "back",
                  format_duration(std::fabs(figures.jump_ns), length));
  } else if (figures.typical <= 0) {
    std::snprintf(text, sizeof text,
                  "No whole step of %s was seen in the %s it was polled: too short a run, or too "
                  "busy a machine, to tell its step and rate.",
                  clock.name, format_duration(static_cast<double>(figures.polled_ns), length));
  } else {
    return;
  }
  write_note(out, text, first);
}

void write_clock_notes(const Run& run, int i, FILE* out, bool* first) {
  const Clock& clock = run.clocks[i];
  const ClockFigures& figures = run.figures[i];
  write_contradiction(clock, figures, out, first);
  write_rate_note(clock, figures, out, first);
  char text[256];
  if (clock.remark != nullptr) {
    std::snprintf(text, sizeof text, "%s: %s.", clock.name, clock.remark);
    write_note(out, text, first);
  }
  if (clock.per_thread) {
    std::snprintf(text, sizeof text, "%s is each thread's own: not compared across threads.",
                  clock.name);
    write_note(out, text, first);
  }
}

void write_notes(const Run& run, FILE* out) {
  bool first = true;
  if (run.interrupted) {
    write_note(out, "The run was ended early: the rows show what was measured by then.", &first);
  }
  if (run.processors < 2) {
    write_note(out, "One processor: no readings were compared across threads.", &first);
  }
  for (int i = 0; i < run.clock_count; i++) {
    if (measured(run, i)) write_clock_notes(run, i, out, &first);
  }
}

// Whether a word is a unit, which stays on the line of its number: "ms", "ns.", "ppm,".
bool is_unit(const char* word, int length) {
  while (length > 0 && std::strchr(".,;:)", word[length - 1]) != nullptr) length--;
  static const char* const kUnits[] = {"ns", "us", "ms", "s", "ppm", "MHz", "GHz"};
  for (const char* unit : kUnits) {
    if (static_cast<int>(std::strlen(unit)) == length && std::strncmp(word, unit, length) == 0) {
      return true;
    }
  }
  return false;
}

}  // namespace

double ticks_ns(const ClockFigures& figures, int64_t ticks) {
  if (figures.ticks_per_second <= 0) return 0;
  return static_cast<double>(ticks) * 1e9 / static_cast<double>(figures.ticks_per_second);
}

void write_wrapped(FILE* out, const char* text, int indent) {
  int column = 0;
  while (*text != '\0') {
    // The next word, with the unit after it if one follows: "44.1 ns" stays together.
    const char* end = std::strchr(text, ' ');
    if (end == nullptr) end = text + std::strlen(text);
    const char* unit_end = *end == ' ' ? std::strchr(end + 1, ' ') : nullptr;
    if (*end == ' ' && unit_end == nullptr) unit_end = end + std::strlen(end);
    if (unit_end != nullptr && is_unit(end + 1, static_cast<int>(unit_end - end - 1))) {
      end = unit_end;
    }
    const int length = static_cast<int>(end - text);
    if (column > indent && column + 1 + length > kLineWidth) {
      std::fprintf(out, "\n%*s", indent, "");
      column = indent;
    } else if (column > 0) {
      std::fputc(' ', out);
      column++;
    }
    std::fwrite(text, 1, static_cast<size_t>(length), out);
    column += length;
    text = *end == ' ' ? end + 1 : end;
  }
  std::fputc('\n', out);
}

// What was measured, for how long, against what, and the clock settings at the start.
void write_header(const Run& run, FILE* out) {
  char took[32], settings[192];
  int clocks = 0;
  for (int i = 0; i < run.clock_count; i++) clocks += run.clocks[i].present ? 1 : 0;
  std::fprintf(out, "tickclocks " TICKCLOCKS_VERSION ": %d clock%s in %s on %d processor%s\n",
               clocks, clocks == 1 ? "" : "s", format_cost(static_cast<double>(run.took_ns), took),
               run.processors, run.processors == 1 ? "" : "s");
  std::fprintf(out, "reference clock: %s\n", run.reference_name);
  if (describe_settings(run.settings, true, settings)[0] != '\0') {
    char text[224];
    std::snprintf(text, sizeof text, "clock settings: %s", settings);
    write_wrapped(out, text, 2);
  }
}

bool write_report(const Run& run, FILE* out) {
  write_header(run, out);
  std::fputc('\n', out);
  write_costs_table(run, out);
  if (measured_clocks(run) > 0) {
    std::fputc('\n', out);
    write_behaviour_table(run, out);
  }
  if (run.waits_asked && run.wait_count > 0) {
    std::fputc('\n', out);
    write_waits_table(run, out);
  }
  if (run.waits_asked) {
    std::fputc('\n', out);
    write_answer(run, out, "finest clock of the day:", finest_clock(run, kTimeOfDay));
    write_answer(run, out, "finest interval clock:", finest_clock(run, kInterval));
    write_answer(run, out, "cheapest never seen going back:", cheapest_clock(run));
  }
  write_notes(run, out);
  return std::fflush(out) == 0 && std::ferror(out) == 0;
}
