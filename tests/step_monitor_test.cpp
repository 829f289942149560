#include <gtest/gtest.h>

#include <cstdio>

#include "fake_platform.h"
#include "options.h"
#include "step_monitor.h"
#include "test_support.h"

namespace {

const uint64_t T = 134000000000000000ULL;  // a late-2025 file time
const uint64_t kHour = 36000000000ULL;     // in 100-ns units

class StepMonitor : public testing::Test {
 protected:
  void SetUp() override {
    fake::reset();
    option_quiet = 0;
  }
};

TEST_F(StepMonitor, FileTimeSkipsTheFirstChangeAndPrintsExactSteps) {
  fake::state().file_times = {T, T, T + 5, T + 5, T + 5, T + 6, T + 156250, T + 156251, T + 156251};
  EXPECT_EQ(run_monitor(run_file_time_monitor), "0.0001 ms\n15.6244 ms\n0.0001 ms\n");
  EXPECT_EQ(fake::state().file_time_reads, 9u);
}

TEST_F(StepMonitor, FileTimeComparesBothHalves) {
  const uint64_t high_only = T + (1ULL << 32);
  fake::state().file_times = {T, T + 1, high_only + 1};
  EXPECT_EQ(run_monitor(run_file_time_monitor), "429496.7296 ms\n");
}

TEST_F(StepMonitor, ClockSetBackAnHourPrintsOneNegativeStepInBothModes) {
  const std::vector<uint64_t> script = {T, T + 10, T + 20, T + 30 - kHour, T + 40 - kHour};
  fake::state().file_times = script;
  EXPECT_EQ(run_monitor(run_file_time_monitor), "0.0010 ms\n-3599999.9990 ms\n0.0010 ms\n");
  fake::reset();
  fake::state().file_times = script;
  option_quiet = 1;
  EXPECT_EQ(run_monitor(run_file_time_monitor), "-3599999.9990 ms\n");
}

TEST_F(StepMonitor, ClockSetForwardAnHourPrintsTheWholeHourUnlessQuiet) {
  fake::state().file_times = {T, T + 1, T + 1 + kHour};
  EXPECT_EQ(run_monitor(run_file_time_monitor), "3600000.0000 ms\n");
  fake::reset();
  fake::state().file_times = {T, T + 1, T + 1 + kHour, T + 2 + kHour};
  option_quiet = 1;
  EXPECT_EQ(run_monitor(run_file_time_monitor), "");
  EXPECT_EQ(fake::state().file_time_reads, 4u);
}

TEST_F(StepMonitor, ClockThatNeverMovesPrintsNothingAndKeepsPolling) {
  fake::state().file_times.assign(100000, T);
  EXPECT_EQ(run_monitor(run_file_time_monitor), "");
  EXPECT_EQ(fake::state().file_time_reads, 100000u);
  fake::state().system_times.assign(100000, fake::at(1, 2, 3, 4));
  EXPECT_EQ(run_monitor(run_system_time_monitor), "");
  EXPECT_EQ(fake::state().conversions, 0);
}

TEST_F(StepMonitor, SystemTimeConvertsBothRecordsOnlyOnAChange) {
  const SYSTEMTIME a = fake::at(10, 0, 0, 0), b = fake::at(10, 0, 0, 1);
  const SYSTEMTIME c = fake::at(10, 0, 0, 16), d = fake::at(10, 0, 1, 0);
  fake::state().system_times = {a, a, b, b, b, b, c, c, c, d};
  EXPECT_EQ(run_monitor(run_system_time_monitor), "15.0000 ms\n984.0000 ms\n");
  EXPECT_EQ(fake::state().conversions, 4);
}

TEST_F(StepMonitor, SystemTimeSeesAChangeInAnyOfItsSixteenBytes) {
  SYSTEMTIME base = fake::at(10, 0, 0, 0);
  std::vector<SYSTEMTIME> script = {base, fake::at(10, 0, 0, 1), base};
  for (size_t byte = 0; byte < sizeof(SYSTEMTIME); byte++) {
    SYSTEMTIME changed = base;
    reinterpret_cast<unsigned char*>(&changed)[byte] ^= 1;
    script.push_back(changed);
    script.push_back(base);
  }
  fake::state().system_times = script;
  const std::string output = run_monitor(run_system_time_monitor);
  size_t lines = 0;
  for (char c : output) lines += c == '\n';
  EXPECT_EQ(lines, 1 + 2 * sizeof(SYSTEMTIME));
}

TEST_F(StepMonitor, SystemTimeSetBackAnHourPrintsWholeMillisecondsAlsoQuiet) {
  fake::state().system_times = {fake::at(10, 0, 0, 0), fake::at(10, 0, 0, 15),
                                fake::at(10, 0, 0, 31), fake::at(9, 0, 0, 46),
                                fake::at(9, 0, 0, 62)};
  option_quiet = 1;
  EXPECT_EQ(run_monitor(run_system_time_monitor), "-3599985.0000 ms\n");
}

TEST_F(StepMonitor, FailedStepLineEndsTheProcessWithStatusTwo) {
  fake::state().file_times = {T, T + 1, T + 2, T + 3};
  EXPECT_EXIT(
      {
        if (freopen("/dev/full", "w", stdout) == nullptr) std::_Exit(9);
        setvbuf(stdout, nullptr, _IOLBF, 0);
        run_file_time_monitor();
      },
      testing::ExitedWithCode(2), "");
}

}  // namespace
