#include "tickclocks.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "console.h"
#include "csv_file.h"
#include "measure.h"
#include "report.h"
#include "run.h"

namespace {

const int kDefaultSeconds = 6;
const int kMostSeconds = 3600;
const int64_t kSecondNs = 1000000000;
const int64_t kPatienceNs = kSecondNs * 5 / 2;
const size_t kPathRoom = 3 * 32768 + 32;  // a Windows path's longest, in UTF-8, and more

const char kUsage[] =
    "usage: tickclocks [--seconds N] [--clock NAME] [--csv FILE]\n"
    "Measures every clock of this machine side by side: what one read costs, how\n"
    "finely it steps against what the system states, whether it is seen going back\n"
    "in one thread or across two processors, and its rate against the reference.\n"
    "Then what a 1 ms wait really takes, with the timer as it is and while asking\n"
    "for a finer one, and which clock to read. Ctrl+C ends it with what it has.\n"
    "  --seconds N   measure for about N seconds (1 to 3600, by default 6)\n"
    "  --clock NAME  measure the clock NAME alone, and no wait\n"
    "  --csv FILE    write a row for each clock and each wait into FILE\n"
    "  -h, --help    print this text\n"
    "  --version     print tickclocks' version\n";

struct Options {
  bool help;
  bool version;
  int seconds;
  const char* clock;  // null for every clock
  const char* csv;    // null when not asked for
};

Run run;

// The option's value, or null after saying what is wrong.
const char* option_value(int argc, const char* const argv[], int* i, FILE* err) {
  if (*i + 1 >= argc) {
    std::fprintf(err, "tickclocks: %s needs a value\n", argv[*i]);
    return nullptr;
  }
  return argv[++*i];
}

bool read_seconds(const char* text, int* seconds, FILE* err) {
  char* end = nullptr;
  errno = 0;
  const long value = std::strtol(text, &end, 10);
  if (errno != 0 || end == text || *end != '\0' || value < 1 || value > kMostSeconds) {
    std::fprintf(err, "tickclocks: --seconds takes a whole number from 1 to %d, not %s\n",
                 kMostSeconds, text);
    return false;
  }
  *seconds = static_cast<int>(value);
  return true;
}

// False, after one line that says what is wrong, for a command line it does not take.
bool read_options(int argc, const char* const argv[], Options* options, FILE* err) {
  for (int i = 1; i < argc; i++) {
    const char* word = argv[i];
    const char* value = nullptr;
    if (std::strcmp(word, "-h") == 0 || std::strcmp(word, "--help") == 0 ||
        std::strcmp(word, "/?") == 0) {
      options->help = true;
    } else if (std::strcmp(word, "--version") == 0) {
      options->version = true;
    } else if (std::strcmp(word, "--seconds") != 0 && std::strcmp(word, "--clock") != 0 &&
               std::strcmp(word, "--csv") != 0) {
      std::fprintf(err, "tickclocks: unknown option %s\n", word);
      return false;
    } else if ((value = option_value(argc, argv, &i, err)) == nullptr) {
      return false;
    } else if (std::strcmp(word, "--seconds") == 0) {
      if (!read_seconds(value, &options->seconds, err)) return false;
    } else {
      const char** slot = std::strcmp(word, "--clock") == 0 ? &options->clock : &options->csv;
      if (*slot != nullptr) {
        std::fprintf(err, "tickclocks: %s given twice\n", word);
        return false;
      }
      *slot = value;
    }
  }
  return true;
}

void write_clock_names(const Run& listed, FILE* out) {
  char text[1024] = "Clocks here:";
  for (int i = 0; i < listed.clock_count; i++) {
    if (!listed.clocks[i].present) continue;
    const size_t length = std::strlen(text);
    std::snprintf(text + length, sizeof text - length, "%s %s", length > 12 ? "," : "",
                  listed.clocks[i].name);
  }
  write_wrapped(out, text, 2);
}

bool same_name(const char* a, const char* b) {
  for (; *a != '\0' && *b != '\0'; a++, b++) {
    const char x = *a >= 'a' && *a <= 'z' ? static_cast<char>(*a - 'a' + 'A') : *a;
    const char y = *b >= 'a' && *b <= 'z' ? static_cast<char>(*b - 'a' + 'A') : *b;
    if (x != y) return false;
  }
  return *a == *b;
}

// Keeps only the clock named (in any case); false when there is none of that name.
bool keep_clock(const char* name, Run* listed) {
  for (int i = 0; i < listed->clock_count; i++) {
    if (!same_name(listed->clocks[i].name, name)) continue;
    listed->clocks[0] = listed->clocks[i];
    listed->clock_count = 1;
    return true;
  }
  return false;
}

// Shows what is being measured on the console, over the line shown before.
void show_progress(const Outputs& outputs, const char* what, const char* name, int n, int of) {
  if (outputs.progress == nullptr) return;
  const int width = std::min(outputs.columns > 1 ? outputs.columns - 1 : kLineWidth, kLineWidth);
  char text[160] = "";
  if (what != nullptr) std::snprintf(text, sizeof text, "%s %s (%d of %d)", what, name, n, of);
  std::fprintf(outputs.progress, "\r%-*.*s\r", width, width, text);
  std::fflush(outputs.progress);
}

int present_clocks(const Run& listed) {
  int present = 0;
  for (int i = 0; i < listed.clock_count; i++) present += listed.clocks[i].present ? 1 : 0;
  return present;
}

// The timer interval now in ns, for the clocks that follow it; 0 where not known.
double timer_ns(const Machine& machine) {
  ClockSettings settings{};
  machine.read_settings(&settings);
  return settings.has_timer ? static_cast<double>(settings.timer) * 100 : 0;
}

// Marks every clock measured so far, after each part of the run: where a jump shows, and
// at the end where each rate ends.
void mark_measured(const Machine& machine) {
  for (int i = 0; i < run.clock_count; i++) {
    if (run.figures[i].measured) mark_clock(run.clocks[i], machine, &run.figures[i]);
  }
}

void measure_clock(const Clock& clock, const Machine& machine, const ClockPlan& plan,
                   ClockFigures* figures) {
  figures->ticks_per_second = clock.ticks_per_second;
  figures->stated_ns = clock.stated_ns;
  figures->read_ns = measure_read_cost(clock, machine, plan.read_cost_ns);
  const double timer_before = clock.follows_timer ? timer_ns(machine) : 0;
  poll_steps(clock, machine, plan, figures);
  mark_clock(clock, machine, figures);
  // The timer interval is the stated resolution only where it held while the clock was polled.
  if (clock.follows_timer && timer_ns(machine) == timer_before) figures->stated_ns = timer_before;
  if (run.processors >= 2 && !clock.per_thread && !machine.should_stop()) {
    compare_across_threads(clock, machine, plan.across_ns, figures);
  }
  figures->measured = true;
}

// How long each part of a clock's measurement takes, from its share of the run. A clock
// not yet seen to take a whole step is polled on, up to 2.5 s longer: time() steps once a
// second.
ClockPlan plan_clock(int64_t each_ns, int64_t total_ns) {
  return ClockPlan{.read_cost_ns = each_ns * 15 / 100,
                   .polling_ns = each_ns * 60 / 100,
                   .patience_ns = each_ns * 60 / 100 + std::min(total_ns * 2 / 5, kPatienceNs),
                   .across_ns = each_ns * 25 / 100};
}

// What is left until until_ns, shared among those left: a part that took longer leaves the
// others less, down to a quarter of an even share.
int64_t share_left(const Machine& machine, int64_t until_ns, int left, int64_t even_ns) {
  return std::max((until_ns - machine.reference_ns()) / std::max(left, 1), even_ns / 4);
}

void measure_clocks(const Machine& machine, const Outputs& outputs, int64_t until_ns,
                    int64_t total_ns) {
  const int present = present_clocks(run);
  const int64_t even_ns = total_ns * (run.waits_asked ? 7 : 10) / 10 / std::max(present, 1);
  int n = 0;
  for (int i = 0; i < run.clock_count && !machine.should_stop(); i++) {
    if (!run.clocks[i].present) continue;
    show_progress(outputs, "measuring", run.clocks[i].name, ++n, present);
    const int64_t each_ns = share_left(machine, until_ns, present - n + 1, even_ns);
    measure_clock(run.clocks[i], machine, plan_clock(each_ns, total_ns), &run.figures[i]);
    mark_measured(machine);
  }
}

// The waits this system has, each with its share: those it lacks take no time.
void measure_waits(const Machine& machine, const Outputs& outputs, int64_t until_ns,
                   int64_t total_ns) {
  int present = 0;
  for (int i = 0; i < run.wait_count; i++) present += run.waits[i].present ? 1 : 0;
  const int64_t even_ns = total_ns * 3 / 10 / std::max(present, 1);
  int n = 0;
  for (int i = 0; i < run.wait_count && !machine.should_stop(); i++) {
    if (!run.waits[i].present) continue;
    show_progress(outputs, "waiting:", run.waits[i].name, ++n, present);
    const int64_t each_ns = share_left(machine, until_ns, present - n + 1, even_ns);
    measure_wait(run.waits[i], machine, each_ns, &run.wait_figures[i]);
    mark_measured(machine);
  }
}

void measure(const Machine& machine, const Outputs& outputs, int seconds) {
  const int64_t started = machine.reference_ns();
  const int64_t total_ns = seconds * kSecondNs;
  machine.read_settings(&run.settings);
  measure_clocks(machine, outputs, started + total_ns * (run.waits_asked ? 7 : 10) / 10, total_ns);
  if (run.waits_asked) measure_waits(machine, outputs, started + total_ns, total_ns);
  show_progress(outputs, nullptr, nullptr, 0, 0);
  // Each rate ends at a last mark, taken now.
  mark_measured(machine);
  for (int i = 0; i < run.clock_count; i++) {
    if (run.figures[i].measured) settle_rate(run.clocks[i], &run.figures[i]);
  }
  run.interrupted = machine.should_stop();
  run.took_ns = machine.reference_ns() - started;
}

// Where the CSV goes: a device or a pipe is written as it is, a file on disk is replaced
// whole by a new file beside it.
struct CsvTarget {
  const char* path;  // null where no CSV was asked for
  FILE* device;      // the device or pipe, open from the start; null for a file on disk
};

// Whether the CSV's file is standard output's or standard error's, as they were at the
// start, saying so.
bool standard_streams_file(const char* path, const FileIdentity& file, const Outputs& outputs,
                           const Machine& machine) {
  const char* which = machine.same_file(file, outputs.out_file)   ? "output"
                      : machine.same_file(file, outputs.err_file) ? "error"
                                                                  : nullptr;
  if (which != nullptr) {
    std::fprintf(outputs.err, "tickclocks: %s is standard %s's file too; give each its own\n", path,
                 which);
  }
  return which != nullptr;
}

// Whether a new file can be made beside path, as the CSV will be at the end; says why not.
bool room_beside(const char* path, const Machine& machine, FILE* err) {
  static char beside[kPathRoom];
  FILE* file = machine.open_beside(path, beside, sizeof beside);
  if (file == nullptr) {
    std::fprintf(err, "tickclocks: cannot write %s: %s\n", path, std::strerror(errno));
    return false;
  }
  std::fclose(file);
  machine.remove_file(beside);
  return true;
}

// Opens the CSV's path before anything is measured, so that one it cannot write costs no
// run, and leaves a file on disk as it is; false after saying why.
bool open_csv(const char* path, const Outputs& outputs, const Machine& machine, CsvTarget* target) {
  bool created = false;
  FILE* file = machine.open_output(path, &created);
  if (file == nullptr) {
    std::fprintf(outputs.err, "tickclocks: cannot write %s: %s\n", path, std::strerror(errno));
    return false;
  }
  const FileIdentity identity = machine.identify(file);
  const bool refused = standard_streams_file(path, identity, outputs, machine);
  if (refused || identity.on_disk || created) {
    std::fclose(file);
    if (created) machine.remove_file(path);
    file = nullptr;
  }
  if (refused || (file == nullptr && !room_beside(path, machine, outputs.err))) return false;
  *target = CsvTarget{path, file};
  return true;
}

// Writes the CSV into a new file beside its path, which then takes its place, so that the
// CSV there is never empty or cut; a CSV that is whole but cannot take that place stays
// beside it, and the message names it.
bool put_beside(const char* path, const Machine& machine, FILE* err) {
  static char beside[kPathRoom];
  FILE* file = machine.open_beside(path, beside, sizeof beside);
  if (file == nullptr) {
    std::fprintf(err, "tickclocks: cannot write %s: %s\n", path, std::strerror(errno));
    return false;
  }
  const bool written = write_csv(run, file);
  if (std::fclose(file) != 0 || !written) {
    machine.remove_file(beside);
    std::fprintf(err, "tickclocks: could not write all of %s; it is left as it was\n", path);
    return false;
  }
  if (machine.replace_file(beside, path)) return true;
  std::fprintf(err, "tickclocks: could not put the CSV in place of %s: %s; it is in %s\n", path,
               std::strerror(errno), beside);
  return false;
}

// The same, a second Ctrl+C held off meanwhile: it would leave the new file beside the old.
bool write_beside(const char* path, const Machine& machine, FILE* err) {
  hold_interrupts();
  const bool written = put_beside(path, machine, err);
  release_interrupts();
  return written;
}

// Writes the CSV, straight into a device or a pipe, else beside its file; false, saying
// so, when it could not.
bool finish_csv(const CsvTarget& target, const Machine& machine, FILE* err) {
  if (target.path == nullptr) return true;
  if (target.device == nullptr) return write_beside(target.path, machine, err);
  const bool written = write_csv(run, target.device);
  if (std::fclose(target.device) == 0 && written) return true;
  std::fprintf(err, "tickclocks: could not write all of %s\n", target.path);
  return false;
}

// Lists the machine's clocks and waits into the run, the one asked for alone.
void list_machine(const Machine& machine) {
  run = Run{};
  run.clock_count = machine.list_clocks(run.clocks, kMostClocks);
  run.wait_count = machine.list_waits(run.waits, kMostWaits);
  run.processors = machine.processors();
  run.reference_name = machine.reference_name;
}

// Reads the command line into options, keeping the clock asked for alone; answers a
// usage error, --help and --version. Returns their exit status, or -1 to measure.
int take_command_line(int argc, const char* const argv[], Options* options,
                      const Outputs& outputs) {
  bool usable = read_options(argc, argv, options, outputs.err);
  if (usable && options->clock != nullptr && !keep_clock(options->clock, &run)) {
    std::fprintf(outputs.err, "tickclocks: no clock here is called %s\n", options->clock);
    usable = false;
  }
  if (!usable) {
    std::fputs(kUsage, outputs.err);
    write_clock_names(run, outputs.err);
    return 1;
  }
  if (options->help) {
    std::fputs(kUsage, outputs.out);
    write_clock_names(run, outputs.out);
  } else if (options->version) {
    std::fputs("tickclocks " TICKCLOCKS_VERSION "\n", outputs.out);
  }
  if (!options->help && !options->version) return -1;
  return std::fflush(outputs.out) == 0 && std::ferror(outputs.out) == 0 ? 0 : 1;
}

}  // namespace

int run_tickclocks(int argc, const char* const argv[], const Machine& machine,
                   const Outputs& outputs) {
  Options options = {false, false, kDefaultSeconds, nullptr, nullptr};
  list_machine(machine);
  if (outputs.out_file.closed) {
    std::fputs("tickclocks: standard output is closed\n", outputs.err);
    return 1;
  }
  const int status = take_command_line(argc, argv, &options, outputs);
  if (status >= 0) return status;
  CsvTarget csv = {};
  if (options.csv != nullptr && !open_csv(options.csv, outputs, machine, &csv)) return 1;
  run.waits_asked = options.clock == nullptr;
  measure(machine, outputs, options.seconds);
  // The CSV first: a second Ctrl+C while a slow console shows the report leaves it whole.
  bool written = finish_csv(csv, machine, outputs.err);
  // A closed terminal or console excuses a report lost with it, and nothing else does.
  if (!write_report(run, outputs.out) && !machine.console_closed()) {
    std::fprintf(outputs.err, "tickclocks: could not write the report\n");
    written = false;
  }
  return written ? 0 : 1;
}
