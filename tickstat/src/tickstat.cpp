#include "tickstat.h"

#include <cerrno>
#include <cstring>
#include <utility>

#include "console.h"
#include "csv_output.h"
#include "input.h"
#include "input_text.h"
#include "live_output.h"
#include "step_line.h"
#include "summary.h"
#include "svg_output.h"
#include "tally.h"

namespace {

const size_t kLineCapacity = 1 << 20;     // a longer line is not a step line and is skipped
const size_t kPathRoom = 3 * 32768 + 32;  // a Windows path's longest, in UTF-8, and more
const char kUsage[] =
    "usage: tickgauge64 -f | tickstat [--csv FILE] [--svg FILE]\n"
    "Reads tickgauge's step lines on standard input and tells what the clock's step\n"
    "is. It cuts the steps into seconds of clock time, the time they add up to, and\n"
    "prints a line for each period as it ends: seconds whose typical (most frequent)\n"
    "step stays within 10% or 0.01 ms of the period's. A step backwards or a jump of\n"
    "over a second gets a line of its own. On a console, a status line shows the\n"
    "period so far. At the end of the input it prints a summary: the longest\n"
    "periods, the most frequent step sizes and percentiles. From a pipe or a console\n"
    "it also shows this machine's clock settings (timer interval, time\n"
    "synchronisation). Ctrl+C ends tickgauge and lets tickstat finish; a second\n"
    "Ctrl+C ends tickstat too.\n"
    "  --csv FILE   write a row for each second of clock time into FILE as it closes\n"
    "  --svg FILE   draw the run into FILE, an SVG picture, at the end of the input\n"
    "  -h, --help   print this text (/? too)\n"
    "  --version    print tickstat's version\n";

struct Options {
  bool help;
  bool version;
  const char* csv;  // null when not asked for
  const char* svg;
};

// Room after the data for a line end, a sentinel '\n' and the word the parse reads.
char buffer[kLineCapacity + 16];

// Takes the whole lines in [p, end), which is followed by a '\n'; returns where
// the first line without a line end starts.
const char* take_lines(const char* p, const char* end, bool* skipping, Tally* tally) {
  while (p < end) {
    int64_t units = 0;
    const char* next = *skipping ? nullptr : parse_step_line(p, &units);
    if (next != nullptr && next <= end) {
      take_step(tally, units);
      p = next;
      continue;
    }
    const char* line_end =
        static_cast<const char*>(std::memchr(p, '\n', static_cast<size_t>(end - p)));
    if (line_end == nullptr) break;
    *skipping = false;
    p = line_end + 1;
  }
  return p;
}

// Reads every line of in; a line longer than the buffer is skipped whole. With no file to
// write (only_out), stops early, as at the end of the input, once standard output cannot
// be written (its reader has gone). Returns how the reading ended, with *read_errno set
// on kReadFailed.
long read_steps(const Streams& streams, const Machine& machine, bool only_out, Tally* tally,
                int* read_errno) {
  size_t kept = 0;
  bool skipping = false;
  long got;
  start_input_text();
  while ((got = read_text(streams, machine, buffer + kept, kLineCapacity - kept)) > 0) {
    char* end = buffer + kept + static_cast<size_t>(got);
    *end = '\n';
    const char* rest = take_lines(buffer, end, &skipping, tally);
    take_read(tally);
    kept = static_cast<size_t>(end - rest);
    if (kept + 1 >= kLineCapacity) {  // a UTF-16 read needs room for two bytes
      skipping = true;
      kept = 0;
    }
    std::memmove(buffer, rest, kept);
    if (only_out && std::ferror(streams.out) != 0) {
      got = kReadEnd;
      break;
    }
  }
  if (got == kReadFailed) *read_errno = errno;
  if (kept == 0 || skipping) return got;
  buffer[kept] = '\n';  // the last line, which had no line end of its own
  buffer[kept + 1] = '\n';
  take_lines(buffer, buffer + kept + 1, &skipping, tally);
  return got;
}

// Whether word is one of tickstat's options, and so not the FILE an output option needs.
bool is_option(const char* word) {
  for (const char* option : {"-h", "--help", "/?", "--version", "--csv", "--svg"}) {
    if (std::strcmp(word, option) == 0) return true;
  }
  return false;
}

// Takes the FILE of the output option at argv[*i]; false, saying why on err, when it has
// none or was given before.
bool take_output_option(int argc, const char* const argv[], int* i, const char** seen, FILE* err) {
  const char* name = argv[*i];
  if (*i + 1 >= argc || is_option(argv[*i + 1])) {
    std::fprintf(err, "tickstat: %s needs a FILE\n", name);
    return false;
  }
  if (*seen != nullptr) {
    std::fprintf(err, "tickstat: %s given twice\n", name);
    return false;
  }
  *seen = argv[++*i];
  return true;
}

// False, saying what is wrong on err, on a word that is not an option, an output option
// without its FILE, or one given twice.
bool read_options(int argc, const char* const argv[], Options* options, FILE* err) {
  for (int i = 1; i < argc; i++) {
    const char* word = argv[i];
    if (std::strcmp(word, "-h") == 0 || std::strcmp(word, "--help") == 0 ||
        std::strcmp(word, "/?") == 0) {
      options->help = true;
    } else if (std::strcmp(word, "--version") == 0) {
      options->version = true;
    } else if (std::strcmp(word, "--csv") == 0 || std::strcmp(word, "--svg") == 0) {
      const char** seen = word[2] == 'c' ? &options->csv : &options->svg;
      if (!take_output_option(argc, argv, &i, seen, err)) return false;
    } else {
      std::fprintf(err, "tickstat: unknown option %s\n", word);
      return false;
    }
  }
  return true;
}

// The run's files: the CSV, written row by row as seconds close, and the picture, drawn
// at the end into a new file beside FILE that then takes its place, so that a second
// Ctrl+C, a kill or a failed write leaves the picture there as it was; a device or a
// pipe takes the picture straight.
struct Files {
  FILE* csv;
  FILE* svg_device;
};

// Everything a run goes by.
struct Run {
  const Options& options;
  const Streams& streams;
  const Machine& machine;
  Files files;
};

// Opens an output file before any input is read, so that a wrong path costs nothing;
// it is emptied only once it is known to be no other file of the run.
FILE* open_output(const char* path, bool* created, const Streams& streams, const Machine& machine) {
  FILE* file = machine.open_output(path, created);
  if (file == nullptr) {
    std::fprintf(streams.err, "tickstat: cannot write %s: %s\n", path, std::strerror(errno));
  }
  return file;
}

// Whether an output that is to be written may not be, saying why: it is the input,
// standard output's or standard error's file, or the other output; each as they were when
// tickstat started.
bool refused(const Options& options, const FileIdentity& csv, const FileIdentity& svg,
             const Streams& streams, const Machine& machine) {
  if (options.csv != nullptr && options.svg != nullptr && machine.same_file(csv, svg)) {
    std::fprintf(streams.err, "tickstat: --csv %s and --svg %s name one file\n", options.csv,
                 options.svg);
    return true;
  }
  for (const auto& [file, path] : {std::pair{csv, options.csv}, std::pair{svg, options.svg}}) {
    const char* why = nullptr;
    if (path == nullptr) continue;
    if (machine.same_file(file, streams.in_file)) why = "is the input itself; it is left as it is";
    // Its rows would come back as input, and tickstat would hold the input open for ever.
    if (machine.same_pipe(file, streams.in_file)) why = "is the input's pipe itself";
    if (machine.same_file(file, streams.out_file)) {
      why = "is standard output's file too; give each its own";
    }
    if (machine.same_file(file, streams.err_file)) {
      why = "is standard error's file too; give each its own";
    }
    if (why == nullptr) continue;
    std::fprintf(streams.err, "tickstat: %s %s\n", path, why);
    return true;
  }
  return false;
}

// Closes an output opened for the checks, and removes it if the checks made it.
void put_back(FILE* file, bool created, const char* path, const Machine& machine) {
  if (file != nullptr) std::fclose(file);
  if (created) machine.remove_file(path);
}

// Whether a new file can be made beside path, as the picture will be at the end; says
// why not.
bool room_beside(const char* path, const Streams& streams, const Machine& machine) {
  static char beside[kPathRoom];
  FILE* file = machine.open_beside(path, beside, sizeof beside);
  if (file == nullptr) {
    std::fprintf(streams.err, "tickstat: cannot write %s: %s\n", path, std::strerror(errno));
    return false;
  }
  std::fclose(file);
  machine.remove_file(beside);
  return true;
}

// Opens and checks both files and empties the CSV; false, leaving none made, when one
// cannot be used. The picture's file on disk is left as it is until the picture is whole.
bool open_outputs(const Options& options, const Streams& streams, const Machine& machine,
                  Files* files) {
  bool csv_made = false, svg_made = false;
  FILE* csv =
      options.csv != nullptr ? open_output(options.csv, &csv_made, streams, machine) : nullptr;
  FILE* svg =
      options.svg != nullptr ? open_output(options.svg, &svg_made, streams, machine) : nullptr;
  const FileIdentity svg_file = svg != nullptr ? machine.identify(svg) : FileIdentity{};
  bool usable = (options.csv == nullptr || csv != nullptr) &&
                (options.svg == nullptr || svg != nullptr) &&
                !refused(options, csv != nullptr ? machine.identify(csv) : FileIdentity{}, svg_file,
                         streams, machine);
  const bool beside = svg != nullptr && (svg_made || svg_file.on_disk);
  if (svg != nullptr && (!usable || beside)) {
    put_back(svg, svg_made, options.svg, machine);
    svg = nullptr;
  }
  usable = usable && (!beside || room_beside(options.svg, streams, machine));
  if (usable && csv != nullptr && !machine.empty_file(csv)) {
    std::fprintf(streams.err, "tickstat: cannot write %s: %s\n", options.csv, std::strerror(errno));
    usable = false;
  }
  if (!usable) {
    put_back(csv, csv_made, options.csv, machine);
    return false;
  }
  *files = Files{csv, svg};
  return true;
}

// Draws the picture into a new file beside its path, which then takes its place, so
// that the picture there is never empty or cut; a picture that is whole but cannot take
// that place stays beside it, and the message names it. False, saying so, when it could not.
bool write_beside(const Run& run, const Tally& tally, const std::tm* began) {
  const char* path = run.options.svg;
  static char beside[kPathRoom];
  FILE* file = run.machine.open_beside(path, beside, sizeof beside);
  if (file == nullptr) {
    std::fprintf(run.streams.err, "tickstat: cannot write %s: %s\n", path, std::strerror(errno));
    return false;
  }
  if (!draw_svg(file, tally, began)) {
    run.machine.remove_file(beside);
    std::fprintf(run.streams.err, "tickstat: could not write all of %s\n", path);
    return false;
  }
  if (run.machine.replace_file(beside, path)) return true;
  std::fprintf(run.streams.err,
               "tickstat: could not put the picture in place of %s: %s; it is in %s\n", path,
               std::strerror(errno), beside);
  return false;
}

// Draws the picture, straight into a device or beside its file; false, saying so, when
// it could not.
bool write_picture(const Run& run, const Tally& tally, const std::tm* began) {
  if (run.files.svg_device == nullptr) {
    // A second Ctrl+C or signal meanwhile would leave the new file beside the old.
    hold_interrupts();
    const bool written = write_beside(run, tally, began);
    release_interrupts();
    return written;
  }
  if (draw_svg(run.files.svg_device, tally, began)) return true;
  std::fprintf(run.streams.err, "tickstat: could not write all of %s\n", run.options.svg);
  return false;
}

// When a live run began, the local time of its first step's clock time; null when the input
// is not live.
const std::tm* run_began(const Machine& machine, const Tally& tally) {
  static std::tm began;
  if (tally.pace != Pace::live || machine.local_time == nullptr) return nullptr;
  machine.local_time(time_of_day_at(tally, 0, 0), &began);
  return &began;
}

// Ends the outputs after the last period; false when a file could not be written.
bool finish_outputs(const Run& run, const Tally& tally) {
  finish_live_output();
  bool written = true;
  if (run.options.csv != nullptr && !finish_csv_output()) {
    std::fprintf(run.streams.err, "tickstat: could not write all of %s\n", run.options.csv);
    written = false;
  }
  // A run without a step has nothing to draw: the picture of the last run stays.
  if (run.options.svg != nullptr && tally.steps > 0 &&
      !write_picture(run, tally, run_began(run.machine, tally))) {
    written = false;
  }
  return written;
}

// Whether standard output took all it was given, saying so when it did not.
bool output_written(const Streams& streams) {
  if (std::fflush(streams.out) == 0 && std::ferror(streams.out) == 0) return true;
  std::fputs("tickstat: could not write all of standard output\n", streams.err);
  return false;
}

// Finishes the files and the summary once the input has ended; returns the exit status.
int end_run(const Run& run, const Tally* tally, long end, int read_errno) {
  const Streams& streams = run.streams;
  const bool written = finish_outputs(run, *tally);
  if (run.machine.files_written != nullptr) run.machine.files_written();
  if (end == kReadFailed) {
    std::fprintf(streams.err, "tickstat: could not read all of standard input: %s\n",
                 std::strerror(read_errno));
  }
  if (tally->steps > 0) print_summary(*tally, streams.out);
  // A closed terminal or console excuses a summary lost with it, and nothing else does: a
  // file or a pipe that took standard output may still be read.
  const bool closed =
      streams.terminal_out && run.machine.console_closed != nullptr && run.machine.console_closed();
  if (closed) std::fflush(streams.out);
  const bool printed = closed || output_written(streams);
  const bool failed = !written || !printed || end == kReadFailed;
  if (tally->steps == 0) {
    std::fputs(end == kReadStopped
                   ? "tickstat: stopped before a step line was read\n"
                   : "tickstat: the input held no step line (lines like \"15.6250 ms\" from "
                     "tickgauge)\n",
               streams.err);
    return failed ? 1 : 2;
  }
  return failed ? 1 : 0;
}

// Whether a standard stream tickstat needs was closed when it started, saying so.
bool standard_stream_closed(const Streams& streams, bool reads) {
  const char* which = streams.out_file.closed           ? "output"
                      : reads && streams.in_file.closed ? "input"
                                                        : nullptr;
  if (which != nullptr) std::fprintf(streams.err, "tickstat: standard %s is closed\n", which);
  return which != nullptr;
}

// Starts the live output and those of the files given, in the order they take records.
Outputs start_outputs(const Streams& streams, const Machine& machine, FILE* csv, bool svg) {
  Outputs outputs = {{start_live_output(streams, machine)}, 1};
  if (csv != nullptr) outputs.list[outputs.count++] = start_csv_output(csv, machine.cut_file);
  if (svg) outputs.list[outputs.count++] = start_svg_output();
  return outputs;
}

// Started alone, as from Explorer or a prompt, it would wait in silence for typed lines.
void hint_typed_input(const Streams& streams, const Machine& machine) {
  std::fprintf(streams.err,
               "tickstat reads tickgauge's lines: tickgauge64 -f | tickstat\n"
               "End typed lines with %s.\n",
               machine.end_of_typed_input);
}

}  // namespace

int run_tickstat(int argc, char* argv[], const Streams& streams, const Machine& machine) {
  Options options = {};
  if (!read_options(argc, argv, &options, streams.err)) {
    std::fputs(kUsage, streams.err);
    return 1;
  }
  if (standard_stream_closed(streams, !options.help && !options.version)) return 1;
  if (options.help || options.version) {
    std::fputs(options.help ? kUsage : "tickstat " TICKSTAT_VERSION "\n", streams.out);
    return output_written(streams) ? 0 : 1;
  }
  Run run = {options, streams, machine, {}};
  if (!open_outputs(options, streams, machine, &run.files)) return 1;
  const Outputs outputs = start_outputs(streams, machine, run.files.csv, options.svg != nullptr);
  // The settings of the machine reading a file say nothing about the recording.
  Tally* tally = start_tally(
      &outputs, streams.live_input ? LiveSources{machine.steady, machine.now, machine.read_settings}
                                   : LiveSources{});
  if (streams.terminal_in) hint_typed_input(streams, machine);
  int read_errno = 0;
  const bool only_out = options.csv == nullptr && options.svg == nullptr;
  const long end = read_steps(streams, machine, only_out, tally, &read_errno);
  close_tally(tally);
  return end_run(run, tally, end, read_errno);
}
