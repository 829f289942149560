#include "tickstat.h"

#include <cerrno>
#include <cstring>

#include "csv_output.h"
#include "live_output.h"
#include "step_line.h"
#include "summary.h"
#include "svg_output.h"
#include "tally.h"

namespace {

const size_t kLineCapacity = 1 << 20;  // a longer line is not a step line and is skipped
const char kUsage[] =
    "usage: tickgauge64 -f | tickstat [--csv FILE] [--svg FILE]\n"
    "Reads tickgauge's step lines on standard input. While it reads, it prints a line\n"
    "for each period as it ends: seconds of clock time whose typical (most frequent)\n"
    "step stays within 10% or 0.01 ms of the period's. A step backwards or a jump of\n"
    "over a second gets a line of its own. On a terminal, a status line shows the\n"
    "period so far. At the end of the input it prints a summary: the longest periods,\n"
    "the most frequent step sizes and percentiles. Ctrl+C ends tickgauge and lets\n"
    "tickstat finish; a second Ctrl+C ends tickstat too.\n"
    "  --csv FILE   write a row for each second of clock time into FILE as it closes\n"
    "  --svg FILE   draw the run into FILE, an SVG picture, at the end of the input\n"
    "  -h, --help   print this text\n"
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

// Reads every line of in; a line longer than the buffer is skipped whole.
void read_steps(const Streams& streams, Tally* tally) {
  size_t kept = 0;
  bool skipping = false;
  size_t got;
  while ((got = streams.read_some != nullptr
                    ? streams.read_some(streams.in, buffer + kept, kLineCapacity - kept)
                    : std::fread(buffer + kept, 1, kLineCapacity - kept, streams.in)) > 0) {
    char* end = buffer + kept + got;
    *end = '\n';
    const char* rest = take_lines(buffer, end, &skipping, tally);
    kept = static_cast<size_t>(end - rest);
    if (kept == kLineCapacity) {
      skipping = true;
      kept = 0;
    }
    std::memmove(buffer, rest, kept);
  }
  if (kept == 0 || skipping) return;
  buffer[kept] = '\n';  // the last line, which had no line end of its own
  buffer[kept + 1] = '\n';
  take_lines(buffer, buffer + kept + 1, &skipping, tally);
}

// False on a word that is not an option, or an option without its FILE.
bool read_options(int argc, const char* const argv[], Options* options) {
  for (int i = 1; i < argc; i++) {
    const char* word = argv[i];
    if (std::strcmp(word, "-h") == 0 || std::strcmp(word, "--help") == 0) {
      options->help = true;
    } else if (std::strcmp(word, "--version") == 0) {
      options->version = true;
    } else if (i + 1 < argc && std::strcmp(word, "--csv") == 0) {
      options->csv = argv[++i];
    } else if (i + 1 < argc && std::strcmp(word, "--svg") == 0) {
      options->svg = argv[++i];
    } else {
      return false;
    }
  }
  return true;
}

// Opens an output file before any input is read, so that a wrong path costs nothing.
FILE* open_output(const char* path, FILE* err) {
  FILE* file = std::fopen(path, "wb");
  if (file == nullptr) {
    std::fprintf(err, "tickstat: cannot write %s: %s\n", path, std::strerror(errno));
  }
  return file;
}

// Ends the outputs after the last period; false when a file could not be written.
bool finish_outputs(const Options& options, const Tally& tally, FILE* err) {
  finish_live_output();
  bool written = true;
  if (options.csv != nullptr && !finish_csv_output()) {
    std::fprintf(err, "tickstat: could not write all of %s\n", options.csv);
    written = false;
  }
  if (options.svg != nullptr && !finish_svg_output(tally)) {
    std::fprintf(err, "tickstat: could not write all of %s\n", options.svg);
    written = false;
  }
  return written;
}

// When a live run began, for its picture; null for input that was written before.
const std::tm* run_began(const Streams& streams) {
  static std::tm began;
  if (!streams.live_input || streams.local_time == nullptr) return nullptr;
  streams.local_time(&began);
  return &began;
}

}  // namespace

int run_tickstat(int argc, char* argv[], const Streams& streams) {
  Options options = {};
  if (!read_options(argc, argv, &options) || options.help) {
    std::fputs(kUsage, options.help ? streams.out : streams.err);
    return options.help ? 0 : 1;
  }
  if (options.version) {
    std::fputs("tickstat " TICKSTAT_VERSION "\n", streams.out);
    return std::fflush(streams.out) == 0 && std::ferror(streams.out) == 0 ? 0 : 1;
  }
  FILE* csv = options.csv != nullptr ? open_output(options.csv, streams.err) : nullptr;
  FILE* svg = options.svg != nullptr ? open_output(options.svg, streams.err) : nullptr;
  if ((options.csv != nullptr && csv == nullptr) || (options.svg != nullptr && svg == nullptr)) {
    if (csv != nullptr) std::fclose(csv);
    if (svg != nullptr) std::fclose(svg);
    return 1;
  }
  Outputs outputs = {{start_live_output(streams.out, streams.terminal_out, streams.columns)}, 1};
  if (csv != nullptr) outputs.list[outputs.count++] = start_csv_output(csv);
  if (svg != nullptr) outputs.list[outputs.count++] = start_svg_output(svg, run_began(streams));
  Tally* tally = start_tally(&outputs, streams.live_input);
  if (streams.terminal_in) {
    // Started alone, as from Explorer or a prompt, it would wait in silence for typed lines.
    std::fprintf(streams.err,
                 "tickstat reads tickgauge's lines: tickgauge64 -f | tickstat. End typed lines "
                 "with %s.\n",
                 streams.end_of_typed_input);
  }
  // The settings of the machine reading a recording say nothing about the recording.
  if (streams.live_input) read_settings_each_second(tally, streams.read_settings);
  read_steps(streams, tally);
  close_tally(tally);
  const bool written = finish_outputs(options, *tally, streams.err);
  if (tally->steps == 0) {
    std::fputs("tickstat: the input held no step line (lines like \"15.6250 ms\" from tickgauge)\n",
               streams.err);
    return 2;
  }
  print_summary(*tally, streams.out);
  return written ? 0 : 1;
}
