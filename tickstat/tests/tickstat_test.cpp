// Each case runs twice: in-process through run_tickstat (under the sanitizers in
// that build), and end to end as the real program reading the same bytes on stdin.
#include <gtest/gtest.h>

#include <unistd.h>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "scripted_world.h"
#include "tickstat.h"

namespace {

struct Case {
  const char* name;
  std::vector<std::string> arguments = {};  // a leading '@' stands for the case's own file path
  // cppcheck-suppress unusedStructMember ; called through GetParam()
  std::string (*input)() = nullptr;  // null: no input at all
  int status = 0;
  std::vector<std::string> printed = {};      // each must stand in standard output or the picture
  std::vector<std::string> not_printed = {};  // none may stand there
  const char* complaint = "";                 // must stand in standard error; "" for nothing at all
  const char* csv_rows = nullptr;  // with --csv, the whole file after its header; null: no --csv
  const char* expected_out = nullptr;  // a file of cases/ that standard output must equal
  // In-process only: in, out and err are one console this many columns wide, on which no
  // line may take the last column.
  int terminal = 0;
  bool piped_out = false;  // with terminal: out is a file instead
  // In-process, the input is live (from a pipe), handed over a line at a time as a live
  // tickgauge prints it, and the machine's clock settings follow this script of clock
  // time; none: the input is a file, unless at_once or terminal.
  std::vector<SettingsAt> settings = {};
  bool at_once = false;  // live, but all there at once: a recording read through a pipe
  size_t piece = 0;      // in-process, the input comes this many bytes a read
  int64_t backlog = 0;   // live, its first two reads bring this much clock time at once
  int64_t pause = 0;     // with at_once: the clock moves on by this much after the backlog
  int64_t speed = 1;     // live: the clock time its lines bring for each unit of time passed
};

std::string read_file(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

std::string windows_timer() { return read_file(TICKSTAT_CASES "/windows_timer.txt"); }
// Standard input is a folder, which opens but cannot be read.
const char kFolder[] = "\x01folder";
std::string folder() { return kFolder; }
std::string repeated(const std::string& lines, int times) {
  std::string text;
  for (int i = 0; i < times; i++) text += lines;
  return text;
}
// A step line of each size from first to last in 100-ns units, by every; a negative
// size is a backward step.
std::string sizes(int first, int last, int every = 1) {
  std::string text;
  char line[32];
  for (int size = first; size != last + every; size += every) {
    text.append(line, static_cast<size_t>(std::snprintf(line, sizeof line, "%s%d.%04d ms\n",
                                                        size < 0 ? "-" : "", std::abs(size) / 10000,
                                                        std::abs(size) % 10000)));
  }
  return text;
}
std::string usage_error() {
  return "\ntickgauge64 v" TICKSTAT_VERSION "\nUnknown parameter \"-x\".\n";
}
std::string long_line() {
  return "1.0000 ms\n" + std::string(10 << 20, 'A') + "2.0000 ms\n3.0000 ms";
}
std::string nul_bytes() {
  const char text[] = "1.0000 ms\n\0\0\n2.0\0\x30 ms\n4.0000 ms\0\n5.0000 ms\n";
  return std::string(text, sizeof text - 1);
}
std::string invalid_utf8() {
  return "\xff\xff"
         "1.0000 ms\n\xc3(\n\xed\xa0\x80 ms\n1.0000 ms\n";
}
std::string many_digits() {
  return std::string(400, '1') +
         ".0000 ms\n922337203685477.5807 ms\n922337203685477.5808 ms\n1.0000 ms\n";
}
std::string not_numbers() {
  return "nan ms\n1e308 ms\ninf ms\n-nan ms\n0x10.0000 ms\n1.00:0 ms\n1.?000 ms\n1.0000 ms\n";
}
std::string ties_and_backward() { return "2.0000 ms\n1.0000 ms\n-5.0000 ms\n"; }
std::string exact_second() { return "1000.0000 ms\n"; }
std::string one_step() { return "15.6250 ms\r\n"; }
std::string event_after_last_second() { return "1000.0000 ms\n2000.0000 ms\n"; }
std::string events_alone() { return "-5.0000 ms\n-7.0000 ms\n"; }
std::string odd_count() { return "3.0000 ms\n1.0000 ms\n2.0000 ms\n"; }
std::string two_thirds() { return "1.0000 ms\n1.0000 ms\n2.0000 ms\n"; }
std::string sixteen_sizes() { return sizes(10000, 160000, 10000); }
// GetSystemTime's whole milliseconds: seconds of 15 ms steps and of 16 ms steps in turn.
std::string whole_milliseconds() {
  return repeated(repeated("15.0000 ms\n", 67) + repeated("16.0000 ms\n", 63), 5);
}
std::string just_over_tenth() {
  return repeated("10.0000 ms\n", 100) + repeated("11.0500 ms\n", 91);
}
std::string one_hundredth_apart() {
  return repeated("0.0500 ms\n", 20000) + repeated("0.0600 ms\n", 16667);
}
std::string twelve_equal_periods() {
  return repeated(repeated("1.0000 ms\n", 1000) + repeated("10.0000 ms\n", 100), 6);
}
// 514 seconds, so that the picture's buckets take two each: a second of 1 ms steps,
// then one of as many 1.5 ms steps, a tie that the earlier one wins.
std::string tied_seconds() {
  const std::string one = repeated("1.0000 ms\n", 500) + repeated("2.0000 ms\n", 250);
  const std::string other = repeated("1.5000 ms\n", 500) + repeated("1.0000 ms\n", 250);
  return repeated(one + other, 257);
}
// first, then backward steps of every other size the size table has room for.
std::string table_filled_after(const char* first) { return first + sizes(-1, -65535, -1); }
// The size table filled by clock events, then a second of 64 steps it has no room for.
std::string typical_unknown() {
  return table_filled_after("1.0000 ms\n") + repeated("15.6250 ms\n", 64);
}
// The size table filled by its typical step and backward steps, then backward steps of
// sizes it has no room for, which must not hide that typical step.
std::string events_after_table_filled() {
  return table_filled_after("500.0000 ms\n") +
         "-2000.0000 ms\n-2000.0001 ms\n-2000.0002 ms\n500.0000 ms\n";
}
// The size table filled, then a second of the typical step 1 ms twice and of a size it
// has no room for as often: that size could be the typical step as well as 1 ms.
std::string tie_with_untabled() {
  return table_filled_after("1.0000 ms\n") + "1.0000 ms\n0.5000 ms\n0.5000 ms\n";
}
// The size table filled, 300 sizes it has no room for once each, then a size it has no
// room for 5000 times: one in fourteen of all steps.
std::string frequent_after_table_filled() {
  return table_filled_after("1.0000 ms\n") + sizes(-70000, -70299, -1) +
         repeated("0.5000 ms\n", 5000);
}
// As Windows PowerShell 5.1 saves what > redirects: UTF-16 with a byte-order mark;
// with a line longer than the reading buffer, which is skipped whole.
std::string utf16_recording() {
  std::string text = "\xff\xfe";
  for (const char c : "\r\ntickgauge64 v" TICKSTAT_VERSION " \xc2\xa9\r\n" +
                          std::string(1 << 20, 'x') + "\r\n" + repeated("1.5000 ms\r\n", 3)) {
    text += c;
    text += '\0';
  }
  return text;
}
std::string utf16_lines() {
  std::string text = "\xff\xfe";
  for (const char c : repeated("1.5000 ms\r\n", 3)) text += std::string{c, '\0'};
  return text;
}
std::string utf8_mark() {
  return "\xef\xbb\xbf"
         "2.5000 ms\n2.5000 ms\n";
}
std::string one_to_hundred() { return sizes(1000000, 10000, -10000); }
std::string many_backward_steps() { return "1.0000 ms\n" + repeated("-1.0000 ms\n", 100000); }
std::string million_sizes() { return sizes(1, 1000000); }
// Four seconds of the default timer's steps, then two of a 1 ms timer's.
std::string timer_change() {
  return repeated("15.6250 ms\n", 4 * 64) + repeated("1.0000 ms\n", 2 * 1000);
}
std::string three_seconds() { return repeated("1.0000 ms\n", 3 * 1000); }
std::string six_seconds() { return repeated("1.0000 ms\n", 6 * 1000); }
// The timer and its steps change together at several points of a second, both ways: to
// 1 ms 0.297 s into the third second, back 0.027 s into the sixth, to 1 ms again 0.074 s
// into the eighth.
std::string timer_changes_mid_second() {
  return repeated("15.6250 ms\n", 147) + repeated("1.0000 ms\n", 2730) +
         repeated("15.6250 ms\n", 131) + repeated("1.0000 ms\n", 2000);
}
// A 1 ms timer's steps on Windows: 1024 to the second, 0.9766 and 0.9765 ms.
std::string one_ms_timer_steps() {
  return repeated(
      "0.9766 ms\n0.9765 ms\n0.9766 ms\n0.9766 ms\n0.9765 ms\n0.9766 ms\n0.9765 ms\n"
      "0.9766 ms\n",
      3 * 128);
}
std::string two_and_a_half_seconds() { return repeated("1.0000 ms\n", 2500); }
std::string twelve_seconds() { return repeated("15.6250 ms\n", 12 * 64); }
// Windows' line ends, past the 64 KiB that the scripted world reads at a time, and the
// clock set forward five minutes at 0:01:00.
std::string ninety_seconds() {
  return repeated("15.6250 ms\r\n", 60 * 64) + "300000.0000 ms\r\n" +
         repeated("15.6250 ms\r\n", 30 * 64);
}
// The default timer's steps, but for a 1 ms timer held from 5.3 to 5.5 s.
std::string timer_held_briefly() {
  return repeated("15.6250 ms\n", 340) + repeated("0.9766 ms\n", 205) +
         repeated("15.6250 ms\n", 300);
}
// A period from 4.012 to 6.950 s: its start, end and length each round another way.
std::string rounded_period() {
  return repeated("17.0000 ms\n", 236) + repeated("1.0000 ms\n", 2938);
}
// Every kind of line tickstat prints while it reads and after.
std::string every_line() {
  return repeated("15.6250 ms\n", 2 * 64) + "-12.3456 ms\n1500.0000 ms\n" + typical_unknown();
}

const int64_t kSecond = 10000000;  // of clock time, in 100-ns units
const ClockSettings kOneMs = {true, 10000, 5000, 156250, true, false, 0, false, false, 0, 0};
const ClockSettings kDefault = {true, 156250, 5000, 156250, true, true, 6400, false, false, 0, 0};
const ClockSettings kHalfMs = {true, 5000, 5000, 156250, true, true, 6400, false, false, 0, 0};
const ClockSettings kOneMsAdjusted = {true, 10000, 5000,  156250, true, true,
                                      6400, false, false, 0,      0};
// Linux's time state: TIME_ERROR with the unsynchronised bit clear is not synchronised
// either, and -419430 is -6.39999 ppm.
const ClockSettings kUnsynchronised = kernel_clock_settings(true, false, 0, 16000000);
const ClockSettings kSynchronised = kernel_clock_settings(false, false, -419430, 500);
// Every setting known at once, as wide as they come.
const ClockSettings kEveryOne = {true,     10000, 5000,  156250,     true,    true,
                                 -1234567, true,  false, -500000000, 16000000};
const ClockSettings kEveryOther = {true, 156250, 5000, 156250,    true,    false,
                                   0,    true,   true, 500000000, 16000000};

const char kUsageLine[] = "usage: tickgauge64 -f | tickstat [--csv FILE] [--svg FILE]\n";
const char kTypedInputHint[] =
    "tickstat reads tickgauge's lines: tickgauge64 -f | tickstat\nEnd typed lines with KEYS.\n";

const Case kCases[] = {
    {.name = "windows_timer", .input = windows_timer, .expected_out = "windows_timer.expected"},
    {.name = "help", .arguments = {"-h"}, .printed = {kUsageLine}},
    {.name = "long_help", .arguments = {"--help"}, .printed = {kUsageLine}, .terminal = 80},
    {.name = "windows_help", .arguments = {"/?"}, .printed = {kUsageLine}},
    {.name = "version", .arguments = {"--version"}, .printed = {"tickstat " TICKSTAT_VERSION "\n"}},
    {.name = "unknown_argument",
     .arguments = {"-f"},
     .status = 1,
     .complaint = "tickstat: unknown option -f\nusage: "},
    {.name = "unknown_option_on_console",
     .arguments = {"-x"},
     .status = 1,
     .complaint = "tickstat: unknown option -x\nusage: ",
     .terminal = 80},
    {.name = "csv_without_file",
     .arguments = {"--csv"},
     .status = 1,
     .complaint = "tickstat: --csv needs a FILE\nusage: "},
    {.name = "csv_before_svg",
     .arguments = {"--csv", "--svg", "@.svg"},
     .status = 1,
     .complaint = "tickstat: --csv needs a FILE\nusage: "},
    {.name = "unwritable_file",
     .arguments = {"--svg", "/nonexistent/run.svg"},
     .input = windows_timer,
     .status = 1,
     .complaint = "tickstat: cannot write /nonexistent/run.svg: No such file or directory\n"},
    {.name = "full_disk",
     .arguments = {"--csv", "/dev/full"},
     .input = windows_timer,
     .status = 1,
     .printed = {"\nmin "},
     .complaint = "tickstat: could not write all of /dev/full\n"},
    {.name = "read_error",
     .input = folder,
     .status = 1,
     .complaint = "tickstat: could not read all of standard input: "},
    {.name = "one_file_twice",
     .arguments = {"--csv", "@.x", "--svg", "@.x"},
     .input = windows_timer,
     .status = 1,
     .complaint = "name one file"},
    {.name = "errors_as_output",
     .arguments = {"--svg", "@.err"},
     .input = windows_timer,
     .status = 1,
     .complaint = "is standard error's file too"},
    {.name = "input_as_output",
     .arguments = {"--svg", "@.in"},
     .input = windows_timer,
     .status = 1,
     .complaint = "is the input itself"},
    {.name = "option_twice",
     .arguments = {"--svg", "@.a", "--svg", "@.b"},
     .input = windows_timer,
     .status = 1,
     .complaint = "tickstat: --svg given twice\nusage: "},
    {.name = "no_step_line",
     .arguments = {"--svg", "@.svg"},
     .input = usage_error,
     .status = 2,
     .complaint = "tickstat: the input held no step line"},
    {.name = "long_line",
     .input = long_line,
     .printed = {"\n2 steps covering 0.0040000 s", "max 3.0000 ms"}},
    {.name = "nul_bytes", .input = nul_bytes, .printed = {"\n2 steps covering 0.0060000 s"}},
    {.name = "invalid_utf8", .input = invalid_utf8, .printed = {"\n1 step covering 0.0010000 s"}},
    {.name = "many_digits",
     .input = many_digits,
     .printed = {"forward jump: 922337203685477.5807 ms at 0:00:00.0\n",
                 "\n2 steps covering 0.0010000 s",
                 "\n0 backward steps, 1 forward jump over 1 s\n"}},
    {.name = "not_numbers", .input = not_numbers, .printed = {"\n1 step covering 0.0010000 s"}},
    {.name = "ties_and_backward",
     .input = ties_and_backward,
     .printed =
         {"(<0:00:00.1), 2 steps,\n  typical 1.0000 ms (50.0%), min 1.0000 ms, max 2.0000 ms\n",
          "   -5.0000 ms            1   33.3%  #############\n"
          "       1.0000 ms            1   33.3%  #############\n"
          "       2.0000 ms"},
     .csv_rows = "1,2,1.0000,50.0,1.0000,2.0000,1,0,1,,,,,,,,\r\n"},
    // A picture of a period too short to show a length: XML takes no '<' in its text.
    {.name = "one_step_picture",
     .arguments = {"--svg", "@.svg"},
     .input = one_step,
     .printed = {"<title>period 1: 0:00:00.0 to 0:00:00.0 (&lt;0:00:00.1)",
                 "over &lt;0:00:00.1 of clock time"}},
    {.name = "rounded_period",
     .input = rounded_period,
     .printed = {"period 2: 0:00:04.0 to 0:00:07.0 (0:00:03.0)", "\n  0:00:04.0   0:00:03.0 "}},
    {.name = "exact_second",
     .input = exact_second,
     .printed = {"period 1: 0:00:00.0 to 0:00:01.0 (0:00:01.0), 1 step,\n  typical",
                 "\n1 step covering 1.0000000 s of clock time\n0 backward steps, 0 forward jumps",
                 "min 1000.0000 ms, median 1000.0000 ms, 99th percentile 1000.0000 ms,\n"
                 "  max 1000.0000 ms\n"},
     .csv_rows = "1,1,1000.0000,100.0,1000.0000,1000.0000,0,0,0,,,,,,,,\r\n"},
    {.name = "event_after_last_second",
     .arguments = {"--svg", "@.svg"},
     .input = event_after_last_second,
     .printed = {"<path d=\"M930.0 331.0 l-5 9 h10 Z\" fill=\"#31a354\"><title>1 forward jump at "
                 "0:00:01.0</title>"},
     .csv_rows =
         "1,1,1000.0000,100.0,1000.0000,1000.0000,0,0,0,,,,,,,,\r\n2,0,,,,,0,1,1,,,,,,,,\r\n"},
    {.name = "events_alone",
     .arguments = {"--svg", "@.svg"},
     .input = events_alone,
     .printed = {"<path d=\"M90.0 331.0 l-5 9 h10 Z\" fill=\"#cb181d\"><title>", ">1 ms</text>",
                 ">10 ms</text>"},
     .csv_rows = "1,0,,,,,2,0,1,,,,,,,,\r\n"},
    {.name = "typical_unknown",
     .input = typical_unknown,
     .printed = {"65 steps, typical ? ms", "approximate: 64 steps came after"},
     .csv_rows = "1,65,,,1.0000,15.6250,65535,0,0,,,,,,,,\r\n"},
    {.name = "tie_with_untabled", .input = tie_with_untabled, .printed = {"4 steps, typical ? ms"}},
    {.name = "frequent_after_table_filled",
     .arguments = {"--svg", "@.svg"},
     .input = frequent_after_table_filled,
     .printed = {"\n       0.5000 ms       >=5000    7.1%", ">0.5000 ms</text>",
                 ">at least 5000 (7.1%)</text>", "counts marked >= may each be",
                 "\n           other      <=65827   92.9%"}},
    {.name = "events_after_table_filled",
     .input = events_after_table_filled,
     .printed = {"2 steps,\n  typical 500.0000 ms (100.0%)"},
     .csv_rows = "1,2,500.0000,100.0,500.0000,500.0000,65538,0,0,,,,,,,,\r\n"},
    {.name = "utf16_recording",
     .input = utf16_recording,
     .printed = {"\n3 steps covering 0.0045000 s"}},
    // The byte-order mark's first byte alone at first, as a pipe may hand it over.
    {.name = "utf16_byte_at_a_time",
     .input = utf16_lines,
     .printed = {"\n3 steps covering 0.0045000 s"},
     .piece = 1},
    {.name = "utf8_mark", .input = utf8_mark, .printed = {"\n2 steps covering 0.0050000 s"}},
    {.name = "odd_count",
     .input = odd_count,
     .printed = {"median 2.0000 ms, 99th percentile 3.0000 ms"}},
    {.name = "two_thirds",
     .input = two_thirds,
     .printed = {"typical 1.0000 ms (66.7%)"},
     .csv_rows = "1,3,1.0000,66.7,1.0000,2.0000,0,0,1,,,,,,,,\r\n"},
    {.name = "sixteenth", .input = sixteen_sizes, .printed = {"typical 1.0000 ms (6.3%)"}},
    {.name = "whole_milliseconds",
     .input = whole_milliseconds,
     .printed = {"period 1: 0:00:00.0 to 0:00:10.1 (0:00:10.1)"}},
    {.name = "just_over_tenth",
     .input = just_over_tenth,
     .printed = {"period 1: 0:00:00.0 to 0:00:01.0 (0:00:01.0)"}},
    {.name = "one_hundredth_apart",
     .input = one_hundredth_apart,
     .printed = {"period 1: 0:00:00.0 to 0:00:02.0 ("}},
    {.name = "twelve_equal_periods",
     .input = twelve_equal_periods,
     .printed = {"  0:00:09.0   0:00:01.0     10.0000 ms  100.0%\n(2 shorter periods not shown)"}},
    {.name = "tied_seconds",
     .arguments = {"--svg", "@.svg"},
     .input = tied_seconds,
     .printed = {"stroke-width=\"2\" d=\"M90.0 330.0 H93.3L93.3 330.0 H96.5"}},
    {.name = "percentiles",
     .input = one_to_hundred,
     .printed = {"median 50.0000 ms, 99th percentile 99.0000 ms", "(90 other sizes)"}},
    {.name = "many_backward_steps",
     .input = many_backward_steps,
     .printed = {"\n100001 steps covering 0.0010000 s of clock time\n100000 backward steps",
                 "  100.0%  ########################################\n"
                 "       1.0000 ms            1    0.0%\n"}},
    {.name = "million_sizes",
     .input = million_sizes,
     .printed = {"\n1000000 steps covering 50000.0500000 s", "min 0.0001 ms",
                 "max 100.0000 ms\napproximate: 934464 steps came after the first 65536 sizes"}},
    // The status line in the longest form that fits, and the hint for typed input.
    {.name = "terminal_60",
     .input = windows_timer,
     .printed = {"\rperiod 1; last second: 64 steps, typical 15.6250 ms\r"},
     .complaint = kTypedInputHint,
     .terminal = 60},
    {.name = "terminal_12",
     .input = windows_timer,
     .printed = {"\r15.6250 ms\r"},
     .complaint = kTypedInputHint,
     .terminal = 12},
    // A form of the status as wide as the window would reach its last column.
    {.name = "terminal_18",
     .input = windows_timer,
     .printed = {"\r15.6250 ms\r"},
     .complaint = kTypedInputHint,
     .terminal = 18},
    {.name = "status_on_err",
     .input = twelve_seconds,
     // Taken off the console before each line: a program reading out may show it there.
     .complaint = "\rperiod 1; last second: 64 steps, typical 15.6250 ms; timer 1.0000 ms\r ",
     .terminal = 80,
     .piped_out = true,
     .settings = {{0, kOneMs}}},
    {.name = "every_line_on_console",
     .input = every_line,
     .printed = {"\rperiod 1 since 0:00:00.0; last second: 64 steps, typical 15.6250 ms\r"},
     .complaint = kTypedInputHint,
     .terminal = 80,
     .settings = {{0, kEveryOne}, {2 * kSecond, kEveryOther}}},
    // The timer at 1 ms throughout the first period, whose steps stay 15.625 ms: the
    // finding; then 15.625 ms from 4.5 s, within the second period of 1 ms steps.
    {.name = "timer_change",
     .input = timer_change,
     .printed =
         {"time adjustment off -> +6.400 ppm at 0:00:02.5, ",
          "timer interval 1.0000 ms -> 15.6250 ms at 0:00:04.5, ",
          ",\n  timer 1.0000 ms, time adjustment off\n"
          "  typical 15.6250 ms, timer 1.0000 ms: the steps are not the timer interval\n",
          ",\n  timer 1.0000 ms -> 15.6250 ms, time adjustment +6.400 ppm\n\n2256 steps covering "
          "6.0000000 s of clock time\n0 backward steps, 0 forward jumps over 1 s\n"
          "clock settings at the start:\n"
          "  timer 1.0000 ms (finest 0.5000 ms, coarsest 15.6250 ms), time adjustment off\n"
          "clock settings at the end:\n"
          "  timer 15.6250 ms (finest 0.5000 ms, coarsest 15.6250 ms),\n"
          "  time adjustment +6.400 ppm\n"},
     // The first four seconds close before tickstat can tell a live input from a recording.
     .csv_rows = "1,64,15.6250,100.0,15.6250,15.6250,0,0,0,,,,,,,,\r\n"
                 "2,64,15.6250,100.0,15.6250,15.6250,0,0,0,,,,,,,,\r\n"
                 "3,64,15.6250,100.0,15.6250,15.6250,0,0,0,,,,,,,,\r\n"
                 "4,64,15.6250,100.0,15.6250,15.6250,0,0,0,,,,,,,,\r\n"
                 "5,1000,1.0000,100.0,1.0000,1.0000,0,0,0,1.0000,0.5000,15.6250,1,6.400,,,\r\n"
                 "6,1000,1.0000,100.0,1.0000,1.0000,0,0,0,15.6250,0.5000,15.6250,1,6.400,,,\r\n",
     .settings = {{0, kOneMs}, {25 * kSecond / 10, kOneMsAdjusted}, {45 * kSecond / 10, kDefault}}},
    // Started half a second in, before tickstat can tell that the input is live.
    {.name = "synchronisation_starts",
     .input = six_seconds,
     .printed = {"synchronisation started at 0:00:00.5, ",
                 ",\n  not synchronised, frequency 0.000 ppm\n\n6000 steps",
                 "clock settings at the start:\n  not synchronised, frequency 0.000 ppm\n"
                 "clock settings at the end:\n"
                 "  synchronised, frequency -6.400 ppm, estimated error 500 us\n"},
     // The first four seconds close before tickstat can tell a live input from a recording.
     .csv_rows = "1,1000,1.0000,100.0,1.0000,1.0000,0,0,0,,,,,,,,\r\n"
                 "2,1000,1.0000,100.0,1.0000,1.0000,0,0,0,,,,,,,,\r\n"
                 "3,1000,1.0000,100.0,1.0000,1.0000,0,0,0,,,,,,,,\r\n"
                 "4,1000,1.0000,100.0,1.0000,1.0000,0,0,0,,,,,,,,\r\n"
                 "5,1000,1.0000,100.0,1.0000,1.0000,0,0,0,,,,,,1,-6.400,500\r\n"
                 "6,1000,1.0000,100.0,1.0000,1.0000,0,0,0,,,,,,1,-6.400,500\r\n",
     .settings = {{0, kUnsynchronised}, {5 * kSecond / 10, kSynchronised}}},
    {.name = "timer_changes_mid_second",
     .input = timer_changes_mid_second,
     .printed = {"\n  timer 15.6250 ms -> 1.0000 ms, ", "\n  timer 1.0000 ms -> 15.6250 ms, "},
     .not_printed = {"not the timer interval"},
     .settings = {{0, kDefault}, {22968750, kOneMs}, {50268750, kDefault}, {70737500, kOneMs}}},
    {.name = "one_ms_timer",
     .input = one_ms_timer_steps,
     .printed = {"typical 0.9766 ms", "\n  timer 1.0000 ms, "},
     .not_printed = {"not the timer interval"},
     .settings = {{0, kOneMs}}},
    {.name = "change_in_last_second",
     .input = two_and_a_half_seconds,
     .printed = {"timer interval 1.0000 ms -> 15.6250 ms at 0:00:02.2, ",
                 "\n  timer 1.0000 ms -> 15.6250 ms, ",
                 "clock settings at the end:\n  timer 15.6250 ms"},
     .settings = {{0, kOneMs}, {22 * kSecond / 10, kDefault}}},
    // tickstat started ten seconds after tickgauge, behind a filter: the lines that waited
    // come in two reads. Live, its period began ten seconds before tickstat did, by the
    // clock as it was before it was set forward (the world's clock, and the script, count
    // the five minutes).
    {.name = "late_start",
     .input = ninety_seconds,
     .printed = {"began 07:59:50, ",
                 "timer interval 15.6250 ms -> 1.0000 ms at 0:01:28.0, 08:06:18\n",
                 "clock settings at the start:"},
     .settings = {{0, kDefault}, {388 * kSecond, kOneMsAdjusted}},
     .backlog = 10 * kSecond},
    // Steps of none of the timer intervals, but the timer changed: no finding is sure.
    {.name = "timer_changes_under_other_steps",
     .input = three_seconds,
     .printed = {"\n  timer 15.6250 ms -> 0.5000 ms, "},
     .not_printed = {"not the timer interval"},
     .settings = {{0, kDefault}, {15 * kSecond / 10, kHalfMs}}},
    // Read while the timer is held, not only at the boundaries of seconds.
    {.name = "timer_held_briefly",
     .input = timer_held_briefly,
     .printed = {"timer interval 15.6250 ms -> 1.0000 ms at 0:00:05.3, ",
                 "timer interval 1.0000 ms -> 15.6250 ms at 0:00:05.5, ",
                 "\n  timer 15.6250 ms -> 1.0000 ms -> 15.6250 ms, "},
     .not_printed = {"not the timer interval"},
     .settings = {{0, kDefault},
                  {53 * kSecond / 10, kOneMsAdjusted},
                  {55 * kSecond / 10, kDefault}}},
    // Six seconds of clock time all there at once, as a recording read through a pipe.
    {.name = "recording_through_pipe",
     .arguments = {"--svg", "@.svg"},
     .input = timer_change,
     .not_printed = {"began", "timer", "clock settings"},
     .complaint = "so it is read as a recording",
     .csv_rows = "1,64,15.6250,100.0,15.6250,15.6250,0,0,0,,,,,,,,\r\n"
                 "2,64,15.6250,100.0,15.6250,15.6250,0,0,0,,,,,,,,\r\n"
                 "3,64,15.6250,100.0,15.6250,15.6250,0,0,0,,,,,,,,\r\n"
                 "4,64,15.6250,100.0,15.6250,15.6250,0,0,0,,,,,,,,\r\n"
                 "5,1000,1.0000,100.0,1.0000,1.0000,0,0,0,,,,,,,,\r\n"
                 "6,1000,1.0000,100.0,1.0000,1.0000,0,0,0,,,,,,,,\r\n",
     .settings = {{0, kOneMs}},
     .at_once = true},
    // A short recording read through a pipe is all there before its backlog is over.
    {.name = "short_recording_through_pipe",
     .input = three_seconds,
     .not_printed = {"began", "clock settings at"},
     .complaint = "so it is read as a recording",
     .settings = {{0, kDefault}},
     .at_once = true},
    // A recording whose feed stops for two seconds after its first: live at first, then a
    // recording once it runs ahead. On a console, the notice clears the status line and fits.
    {.name = "recording_that_pauses",
     .input = twelve_seconds,
     .not_printed = {"began", "clock settings at"},
     .complaint = "  \rtickstat: the input brings clock time faster than it passes,\n"
                  "  so it is read as a recording: no clock settings, no times of day\n",
     .terminal = 80,
     .settings = {{0, kOneMs}},
     .at_once = true,
     .backlog = kSecond,
     .pause = 2 * kSecond},
    // Recordings fed faster than they were made, all but the last of the timer's steps
    // with a 1 ms timer: never live, so never that false finding; all at once, then held
    // open a second; at once after a pause; at three times real pace.
    {.name = "recording_held_open",
     .input = timer_change,
     .not_printed = {"began", "timer"},
     .complaint = "so it is read as a recording",
     .settings = {{0, kOneMs}},
     .at_once = true,
     .backlog = 6 * kSecond,
     .pause = kSecond},
    // Its last half second comes after a pause of as long, as if at pace: the rest of it
    // came at once, far ahead of tickstat's clock.
    {.name = "recording_with_a_paced_tail",
     .input = timer_change,
     .not_printed = {"began", "timer"},
     .complaint = "so it is read as a recording",
     .settings = {{0, kOneMs}},
     .at_once = true,
     .backlog = 11 * kSecond / 2,
     .pause = 6 * kSecond / 10},
    {.name = "recording_with_a_pause",
     .input = timer_change,
     .not_printed = {"began", "timer"},
     .complaint = "so it is read as a recording",
     .settings = {{0, kOneMs}},
     .at_once = true,
     .backlog = kSecond,
     .pause = 2 * kSecond},
    {.name = "recording_at_three_times",
     .input = timer_change,
     .not_printed = {"began", "timer"},
     .complaint = "so it is read as a recording",
     .settings = {{0, kOneMs}},
     .speed = 3},
    // Its first period came whole in the backlog, read only before and after it: no finding.
    {.name = "period_in_backlog",
     .input = twelve_seconds,
     .printed = {",\n  timer 1.0000 ms, time adjustment off\n"},
     .not_printed = {"not the timer interval"},
     .settings = {{0, kOneMs}},
     .backlog = 4 * kSecond},
    // Live in reads of 0.4 s: a boundary of seconds deep inside a read takes no reading,
    // which may show a change that came after it; the reading at the read's end tells it.
    {.name = "change_inside_a_read",
     .input = six_seconds,
     .printed = {"time adjustment off -> +6.400 ppm at 0:00:01.2, "},
     .settings = {{0, kOneMs}, {11 * kSecond / 10, kOneMsAdjusted}},
     .piece = 4096},
    // Live, but in blocks of some seconds, as behind a filter that fills its buffer: no
    // reading tells when in a block the timer changed, so none is applied to its lines.
    {.name = "live_in_blocks",
     .input = timer_held_briefly,
     .not_printed = {"timer interval", "not the timer interval"},
     .settings = {{0, kDefault},
                  {53 * kSecond / 10, kOneMsAdjusted},
                  {55 * kSecond / 10, kDefault}},
     .piece = 4096},
};

std::string printed_in(FILE* file) {
  std::rewind(file);
  std::string text;
  char chunk[65536];
  size_t got;
  while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) text.append(chunk, got);
  std::fclose(file);
  return text;
}

struct Outcome {
  int status;
  std::string out;
  std::string err;
};

std::string base_path(const Case& c) {
  return testing::TempDir() + "tickstat_" + std::to_string(getpid()) + "_" + c.name;
}

// The case's arguments, and --csv FILE where the case checks the rows.
std::vector<std::string> arguments_of(const Case& c) {
  std::vector<std::string> words = c.arguments;
  for (std::string& word : words) {
    if (word[0] == '@') word = base_path(c) + word.substr(1);
  }
  if (c.csv_rows != nullptr) words.insert(words.end(), {"--csv", base_path(c) + ".csv"});
  return words;
}

// Where standard input comes from: the case's own file of its input, or a folder.
std::string input_path(const Case& c, const std::string& input) {
  if (input == kFolder) return testing::TempDir();
  std::ofstream(base_path(c) + ".in", std::ios::binary) << input;
  return base_path(c) + ".in";
}

// Times of day in UTC, wherever the tests run.
void universal_time(std::time_t moment, std::tm* local) { gmtime_r(&moment, local); }

int scripted_columns;
int columns(FILE*) { return scripted_columns; }

std::string input_of(const Case& c) { return c.input != nullptr ? c.input() : ""; }

Outcome run_in_process(const Case& c, const std::string& input) {
  FILE* in = std::fopen(input_path(c, input).c_str(), "rb");
  FILE* out = std::tmpfile();
  // On a console, out and err show on one screen, in the order they are written.
  const bool console = c.terminal != 0 && !c.piped_out;
  FILE* err = console ? out : std::fopen((base_path(c) + ".err").c_str(), "w+b");
  std::vector<std::string> words = {"tickstat"};
  const std::vector<std::string> arguments = arguments_of(c);
  words.insert(words.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(&word[0]);
  argv.push_back(nullptr);
  scripted_columns = c.terminal;
  const bool terminal = c.terminal != 0;
  const bool live = terminal || !c.settings.empty() || c.at_once;
  Streams streams = streams_of(in, out, err);
  streams.live_input = live;
  streams.terminal_in = streams.terminal_err = terminal;
  streams.terminal_out = terminal && !c.piped_out;
  Machine machine = real_machine();
  machine.files_written = nullptr;
  machine.columns = columns;
  machine.read_settings = nullptr;
  machine.end_of_typed_input = "KEYS";
  machine.local_time = universal_time;
  if (live || c.piece > 0) {
    machine = scripted_world({.settings = c.settings.data(),
                              .count = c.settings.size(),
                              .at_once = c.at_once,
                              .piece = c.piece,
                              .backlog = c.backlog,
                              .pause = c.pause,
                              .speed = c.speed},
                             machine);
  }
  const int status = run_tickstat(static_cast<int>(words.size()), argv.data(), streams, machine);
  std::fclose(in);
  const std::string shown = printed_in(out);
  return {status, shown, console ? shown : printed_in(err)};
}

// One word for sh, whatever it holds: "My Projects" is an ordinary folder name.
std::string quoted(const std::string& word) {
  std::string text = "'";
  for (const char c : word) text += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return text + "'";
}

Outcome run_program(const Case& c, const std::string& input) {
  const std::string base = base_path(c);
  std::string command = quoted(TICKSTAT_PROGRAM);
  for (const std::string& argument : arguments_of(c)) command += " " + quoted(argument);
  command += " < " + quoted(input_path(c, input)) + " > " + quoted(base + ".out") + " 2> " +
             quoted(base + ".err");
  const int code = std::system(command.c_str());
  return {WIFEXITED(code) ? WEXITSTATUS(code) : -1, read_file(base + ".out"),
          read_file(base + ".err")};
}

// The most columns a line of text takes, a line rewritten after a \r too.
size_t widest_line(const std::string& text) {
  size_t widest = 0;
  size_t start = 0;
  for (size_t i = 0; i <= text.size(); i++) {
    if (i < text.size() && text[i] != '\n' && text[i] != '\r') continue;
    widest = std::max(widest, i - start);
    start = i + 1;
  }
  return widest;
}

void expect_outcome(const Case& c, const Outcome& got) {
  EXPECT_EQ(got.status, c.status);
  // On a console, every line fits 80 columns, and none takes the last.
  if (c.terminal != 0) {
    EXPECT_LT(widest_line(got.out + "\n" + got.err), 80U);
  }
  if (c.expected_out != nullptr) {
    EXPECT_EQ(got.out, read_file(std::string(TICKSTAT_CASES "/") + c.expected_out));
  }
  const std::string shown = got.out + read_file(base_path(c) + ".svg");
  for (const std::string& text : c.printed) EXPECT_NE(shown.find(text), std::string::npos) << text;
  for (const std::string& text : c.not_printed) {
    EXPECT_EQ(shown.find(text), std::string::npos) << text;
  }
  if (c.csv_rows != nullptr) {
    const std::string csv = read_file(base_path(c) + ".csv");
    EXPECT_EQ(csv.substr(csv.find('\n') + 1), c.csv_rows);
  }
  if (*c.complaint == '\0') {
    EXPECT_EQ(got.err, c.terminal != 0 && !c.piped_out ? got.out : "");  // a console: one screen
  } else {
    EXPECT_NE(got.err.find(c.complaint), std::string::npos) << got.err;
  }
  if (c.status != 0 || !c.arguments.empty()) return;
  EXPECT_NE(got.out.find("\nmin "), std::string::npos) << "no summary";
}

// The files a case names, but for the run's own input and output, that are not there
// before it runs.
std::vector<std::string> files_to_make(const Case& c) {
  std::vector<std::string> paths;
  for (const std::string& word : c.arguments) {
    const std::string path = base_path(c) + word.substr(1);
    if (word[0] == '@' && word != "@.in" && word != "@.err" && access(path.c_str(), F_OK) != 0) {
      paths.push_back(path);
    }
  }
  return paths;
}

// A refused run, or one without a step, which prints nothing but its complaint, leaves no
// file it made.
void expect_none_made(const Case& c, const Outcome& got, const std::vector<std::string>& paths) {
  if (c.status == 0 || !got.out.empty()) return;
  for (const std::string& path : paths) EXPECT_NE(access(path.c_str(), F_OK), 0) << path;
}

// Checks that the input is left as it was, then removes the case's files.
void remove_files(const Case& c, const std::string& input) {
  if (input != kFolder) {
    EXPECT_EQ(read_file(base_path(c) + ".in"), input) << "input changed";
  }
  for (const char* ending : {".in", ".out", ".err", ".csv", ".svg", ".x", ".a", ".b"}) {
    std::remove((base_path(c) + ending).c_str());
  }
}

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

class Tickstat : public testing::TestWithParam<Case> {};
class TickstatProgram : public testing::TestWithParam<Case> {};

TEST_P(Tickstat, InProcess) {
  const std::string input = input_of(GetParam());
  // tools/fuzz sets this: the inputs of the cases seed the fuzzer.
  if (const char* seeds = std::getenv("TICKSTAT_SEEDS")) {
    std::ofstream(std::string(seeds) + "/" + GetParam().name, std::ios::binary) << input;
  }
  const std::vector<std::string> made = files_to_make(GetParam());
  const Outcome got = run_in_process(GetParam(), input);
  expect_outcome(GetParam(), got);
  expect_none_made(GetParam(), got, made);
  remove_files(GetParam(), input);
}

// The real program, for every case but those on a terminal, which pipeline.py's console
// case covers.
TEST_P(TickstatProgram, EndToEnd) {
  const Case& c = GetParam();
  const std::string input = input_of(c);
  const std::vector<std::string> made = files_to_make(c);
  const Outcome got = run_program(c, input);
  expect_none_made(c, got, made);
  if (c.settings.empty() && !c.at_once) {
    expect_outcome(c, got);
  } else {
    // From a file, the settings of the machine reading it say nothing of the recording.
    EXPECT_EQ(got.status, c.status);
    EXPECT_EQ(got.out.find("clock settings"), std::string::npos) << got.out;
  }
  remove_files(c, input);
}

std::string case_name(const testing::TestParamInfo<Case>& tested) { return tested.param.name; }

std::vector<Case> off_terminal() {
  std::vector<Case> cases;
  std::copy_if(std::begin(kCases), std::end(kCases), std::back_inserter(cases),
               [](const Case& c) { return c.terminal == 0; });
  return cases;
}

INSTANTIATE_TEST_SUITE_P(Cases, Tickstat, testing::ValuesIn(kCases), case_name);
INSTANTIATE_TEST_SUITE_P(Cases, TickstatProgram, testing::ValuesIn(off_terminal()), case_name);

}  // namespace
