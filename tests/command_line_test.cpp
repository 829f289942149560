#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "command_line.h"
#include "fake_platform.h"
#include "options.h"
#include "test_support.h"
#include "word_size.h"

namespace {

const uint64_t T = 134000000000000000ULL;
const char kFileTimeAnnouncement[] =
    "Using GetSystemTimeAsFileTime() call.\nPress Ctrl+C to abort.\n";
const char kSystemTimeAnnouncement[] = "Using GetSystemTime() call.\nPress Ctrl+C to abort.\n";

class CommandLine : public testing::Test {
 protected:
  void SetUp() override {
    fake::reset();
    fake::state().file_times = {T, T + 1, T + 3};
    fake::state().system_times = {fake::at(1, 0, 0, 0), fake::at(1, 0, 0, 1), fake::at(1, 0, 0, 3)};
    fake::state().frequency = 10000000;
  }
};

std::string unknown(const std::string& argument) {
  return banner() + "Unknown parameter \"" + argument + "\".\n" + usage();
}

TEST_F(CommandLine, NoArgumentPrintsBannerAndUsage) {
  const ProgramRun run = run_program({});
  EXPECT_EQ(run.output, banner() + usage());
  EXPECT_EQ(run.status, 1);
}

TEST_F(CommandLine, BannerAndUsageNameThisBuildNotArgv0) {
  const std::string name = kWordSize == 32 ? "tickgauge " : "tickgauge64 ";
  const ProgramRun run = run_program({});
  EXPECT_EQ(run.output.substr(0, name.size() + 1), "\n" + name);
  EXPECT_NE(run.output.find("Usage: " + name + "[-f|-t]"), std::string::npos);
}

TEST_F(CommandLine, AnythingButAnExactOptionIsUnknown) {
  for (const char* argument :
       {"-x", "-F", "/f", "-ft", "--f", "-f ", "", "f", "-", "%s%n%x", "\xc3\xa9\xff"}) {
    const ProgramRun run = run_program({argument});
    EXPECT_EQ(run.output, unknown(argument)) << argument;
    EXPECT_EQ(run.status, 1) << argument;
  }
}

TEST_F(CommandLine, FlagsBeforeAnUnknownArgumentHaveNoEffect) {
  const ProgramRun run = run_program({"-p", "-t", "-F", "-f"});
  EXPECT_EQ(run.output, unknown("-F"));
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(fake::state().counter_reads, 0u);
  EXPECT_EQ(fake::state().system_time_reads, 0u);
}

TEST_F(CommandLine, QuietAloneRunsNothingAndExitsWithZero) {
  const ProgramRun run = run_program({"-q"});
  EXPECT_EQ(run.output, banner());
  EXPECT_EQ(run.status, 0);
  const ProgramRun many = run_program(std::vector<std::string>(10000, "-q"));
  EXPECT_EQ(many.output, banner());
  EXPECT_EQ(many.status, 0);
}

TEST_F(CommandLine, FileTimeWinsOverSystemTimeInEitherOrder) {
  for (const auto& arguments :
       {std::vector<std::string>{"-t", "-f"}, std::vector<std::string>{"-f", "-t"}}) {
    SetUp();
    const ProgramRun run = run_program(arguments);
    EXPECT_TRUE(run.monitor_ran);
    EXPECT_EQ(run.output, banner() + kFileTimeAnnouncement + "0.0002 ms\n");
    EXPECT_EQ(fake::state().system_time_reads, 0u);
  }
}

TEST_F(CommandLine, SystemTimeMonitorRunsQuietWithRepeatedOptions) {
  fake::state().system_times.push_back(fake::at(0, 59, 59, 999));
  const ProgramRun run = run_program({"-t", "-t", "-q"});
  EXPECT_TRUE(run.monitor_ran);
  EXPECT_EQ(run.output, banner() + kSystemTimeAnnouncement + "-4.0000 ms\n");
}

TEST_F(CommandLine, CounterReportComesBeforeTheMonitor) {
  const ProgramRun run = run_program({"-t", "-p"});
  EXPECT_TRUE(run.monitor_ran);
  const std::string report_start = banner() + "\nPerformance Counter Frequency: 10.000 MHz\n";
  EXPECT_EQ(run.output.substr(0, report_start.size()), report_start);
  const size_t announcement = run.output.find(kSystemTimeAnnouncement);
  ASSERT_NE(announcement, std::string::npos);
  EXPECT_LT(run.output.find("Query Performance Counter execution time"), announcement);
  EXPECT_EQ(run.output.substr(announcement), std::string(kSystemTimeAnnouncement) + "2.0000 ms\n");
}

// Runs -q -f into a fully buffered file, as on Windows, and ends without a flush.
[[noreturn]] void run_quiet_monitor_into(const std::string& path) {
  if (freopen(path.c_str(), "w", stdout) == nullptr) std::_Exit(9);
  setvbuf(stdout, nullptr, _IOFBF, 4096);
  option_file_time = option_system_time = option_counter_report = option_quiet = 0;
  std::vector<std::string> words = {"tickgauge", "-q", "-f"};
  try {
    char* argv[] = {&words[0][0], &words[1][0], &words[2][0], nullptr};
    run_tickgauge(3, argv);
  } catch (const fake::ScriptEnded&) {
  }
  std::_Exit(0);
}

TEST_F(CommandLine, AnnouncementIsOutBeforeAQuietMonitorSpins) {
  // -q may print nothing for hours: the header must not wait for a step line.
  const std::string path = testing::TempDir() + "announcement.txt";
  EXPECT_EXIT(run_quiet_monitor_into(path), testing::ExitedWithCode(0), "");
  std::stringstream written;
  written << std::ifstream(path).rdbuf();
  EXPECT_EQ(written.str(), banner() + kFileTimeAnnouncement);
  std::remove(path.c_str());
}

TEST_F(CommandLine, MissingCounterDoesNotChangeTheExitStatus) {
  fake::state().frequency = 0;
  const ProgramRun run = run_program({"-p"});
  EXPECT_EQ(run.output, banner() + "\nQueryPerformanceFrequency call failed.\n");
  EXPECT_EQ(run.status, 0);
}

}  // namespace
