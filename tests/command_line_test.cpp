#include <cstdio>
#include <fstream>
#include <sstream>

#include "fake_platform.h"
#include "test_support.h"

namespace {

const uint64_t T = 134000000000000000ULL;
const std::string kFileTime = "Using GetSystemTimeAsFileTime() call.\nPress Ctrl+C to abort.\n";
const std::string kSystemTime = "Using GetSystemTime() call.\nPress Ctrl+C to abort.\n";

// One run of the program over the scripted clocks: its arguments, all it printed,
// how it ended and which clocks it read.
struct Invocation {
  const char* name;
  std::vector<std::string> arguments;
  std::string out;
  int status = -1;                 // -1: a monitor ran until its script ended
  const char* clocks = "";         // read: f the file time, t the system time, p the counter
  long long frequency = 10000000;  // 0: no counter
};

std::string unknown(const std::string& argument) {
  return banner() + "Unknown parameter \"" + argument + "\".\n" + usage();
}

// A run whose one argument is not exactly an option.
Invocation refused(const char* name, const char* argument) {
  return {.name = name, .arguments = {argument}, .out = unknown(argument), .status = 1};
}

const Invocation kRuns[] = {
    // The expected banner and usage spell the build's name, never argv[0]'s.
    {.name = "no_argument", .arguments = {}, .out = banner() + usage(), .status = 1},
    refused("unknown_letter", "-x"),
    refused("capital_letter", "-F"),
    refused("slash", "/f"),
    refused("two_letters", "-ft"),
    refused("double_dash", "--f"),
    refused("trailing_space", "-f "),
    refused("empty", ""),
    refused("no_dash", "f"),
    refused("dash_alone", "-"),
    refused("format_directives", "%s%n%x"),
    refused("invalid_utf8", "\xc3\xa9\xff"),
    {.name = "flags_before_an_unknown_argument_have_no_effect",
     .arguments = {"-p", "-t", "-F", "-f"},
     .out = unknown("-F"),
     .status = 1},
    {.name = "quiet_alone", .arguments = {"-q"}, .out = banner(), .status = 0},
    {.name = "quiet_ten_thousand_times",
     .arguments = std::vector<std::string>(10000, "-q"),
     .out = banner(),
     .status = 0},
    {.name = "file_time_wins_after_system_time",
     .arguments = {"-t", "-f"},
     .out = banner() + kFileTime + "0.0002 ms\n",
     .clocks = "f"},
    {.name = "file_time_wins_before_system_time",
     .arguments = {"-f", "-t"},
     .out = banner() + kFileTime + "0.0002 ms\n",
     .clocks = "f"},
    {.name = "system_time_quiet_with_repeated_options",
     .arguments = {"-t", "-t", "-q"},
     .out = banner() + kSystemTime + "-4.0000 ms\n",
     .clocks = "t"},
    {.name = "counter_report_comes_before_the_monitor",
     .arguments = {"-t", "-p"},
     .out = banner() +
            "\nPerformance Counter Frequency: 10.000 MHz\n"
            "Query Performance Counter execution time: 0 ns (0 ns mean for 100 calls)\n" +
            kSystemTime + "2.0000 ms\n-4.0000 ms\n",
     .clocks = "tp"},
    {.name = "missing_counter_does_not_change_the_exit_status",
     .arguments = {"-p"},
     .out = banner() + "\nQueryPerformanceFrequency call failed.\n",
     .status = 0,
     .frequency = 0},
};

void PrintTo(const Invocation& run, std::ostream* os) { *os << run.name; }

// Scripted clocks for every run: a file time that steps by 0.0002 ms once it has
// moved, and a system time that steps by 2 ms and then back by 4.
void script_clocks(long long frequency) {
  fake::reset();
  fake::state().file_times = {T, T + 1, T + 3};
  fake::state().system_times = {fake::at(1, 0, 0, 0), fake::at(1, 0, 0, 1), fake::at(1, 0, 0, 3),
                                fake::at(0, 59, 59, 999)};
  fake::state().frequency = frequency;
}

// The clocks a run read, in the letters of their options.
std::string clocks_read() {
  return std::string(fake::state().file_time_reads ? "f" : "") +
         (fake::state().system_time_reads ? "t" : "") + (fake::state().counter_reads ? "p" : "");
}

class CommandLine : public testing::TestWithParam<Invocation> {};

TEST_P(CommandLine, PrintsAndEndsAsItShould) {
  const Invocation& expected = GetParam();
  script_clocks(expected.frequency);
  const ProgramRun run = run_program(expected.arguments);
  EXPECT_EQ(run.output, expected.out);
  EXPECT_EQ(run.status, expected.status);
  EXPECT_EQ(run.monitor_ran, expected.status == -1);
  EXPECT_EQ(clocks_read(), expected.clocks);
}

INSTANTIATE_TEST_SUITE_P(Cases, CommandLine, testing::ValuesIn(kRuns), row_name<Invocation>);

TEST(Announcement, IsOutBeforeAQuietMonitorSpins) {
  // -q may print nothing for hours: the header must not wait for a step line.
  const std::string path = testing::TempDir() + "announcement.txt";
  script_clocks(0);
  EXPECT_EXIT(
      {
        // Fully buffered, as on Windows, and ended without a flush.
        if (freopen(path.c_str(), "w", stdout) == nullptr) std::_Exit(9);
        setvbuf(stdout, nullptr, _IOFBF, 4096);
        try {
          run_tickgauge_with({"-q", "-f"});
        } catch (const fake::ScriptEnded&) {
        }
        std::_Exit(0);
      },
      testing::ExitedWithCode(0), "");
  std::stringstream written;
  written << std::ifstream(path).rdbuf();
  EXPECT_EQ(written.str(), banner() + kFileTime);
  std::remove(path.c_str());
}

}  // namespace
