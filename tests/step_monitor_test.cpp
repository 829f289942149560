#include <algorithm>
#include <cstdio>

#include "fake_platform.h"
#include "options.h"
#include "step_monitor.h"
#include "test_support.h"

namespace {

const uint64_t T = 134000000000000000ULL;  // a late-2025 file time
const uint64_t kHour = 36000000000ULL;     // in 100-ns units
const std::vector<uint64_t> kSetBack = {T, T + 10, T + 20, T + 30 - kHour, T + 40 - kHour};

// System times at these milliseconds after ten o'clock; a negative one is before it.
std::vector<SYSTEMTIME> after_ten(std::initializer_list<int> milliseconds) {
  std::vector<SYSTEMTIME> times;
  for (const int ms : milliseconds) {
    const int day = ms + 10 * 3600000;
    times.push_back(fake::at(static_cast<WORD>(day / 3600000), static_cast<WORD>(day / 60000 % 60),
                             static_cast<WORD>(day / 1000 % 60), static_cast<WORD>(day % 1000)));
  }
  return times;
}

// A system time that changes in each of its sixteen bytes in turn, and back.
std::vector<SYSTEMTIME> each_byte_changed() {
  std::vector<SYSTEMTIME> script = after_ten({0, 1, 0});
  for (size_t byte = 0; byte < sizeof(SYSTEMTIME); byte++) {
    script.push_back(script[0]);
    reinterpret_cast<unsigned char*>(&script.back())[byte] ^= 1;
    script.push_back(script[0]);
  }
  return script;
}

// One monitor over a scripted clock, until its script ends.
struct MonitorRun {
  const char* name;
  std::vector<uint64_t> file_time = {};  // the clock's script; none: the system time's runs
  std::vector<SYSTEMTIME> system_time = {};
  int quiet = 0;
  std::string out = "";
  long lines = 0;        // when not 0, only the number of lines printed is checked
  int conversions = -1;  // conversions to file time; -1: not checked
};

const MonitorRun kRuns[] = {
    {.name = "exact_steps_after_the_first_change",
     .file_time = {T, T, T + 5, T + 5, T + 5, T + 6, T + 156250, T + 156251, T + 156251},
     .out = "0.0001 ms\n15.6244 ms\n0.0001 ms\n"},
    {.name = "both_halves_compared",
     .file_time = {T, T + 1, T + (1ULL << 32) + 1},
     .out = "429496.7296 ms\n"},
    {.name = "set_back_an_hour",
     .file_time = kSetBack,
     .out = "0.0010 ms\n-3599999.9990 ms\n0.0010 ms\n"},
    {.name = "set_back_an_hour_quiet",
     .file_time = kSetBack,
     .quiet = 1,
     .out = "-3599999.9990 ms\n"},
    {.name = "set_forward_an_hour",
     .file_time = {T, T + 1, T + 1 + kHour},
     .out = "3600000.0000 ms\n"},
    {.name = "set_forward_an_hour_quiet",
     .file_time = {T, T + 1, T + 1 + kHour, T + 2 + kHour},
     .quiet = 1},
    {.name = "file_time_never_moving", .file_time = std::vector<uint64_t>(100000, T)},
    {.name = "system_time_never_moving",
     .system_time = std::vector<SYSTEMTIME>(100000, fake::at(1, 2, 3, 4)),
     .conversions = 0},
    {.name = "conversions_only_on_a_change",
     .system_time = after_ten({0, 0, 1, 1, 1, 1, 16, 16, 16, 1000}),
     .out = "15.0000 ms\n984.0000 ms\n",
     .conversions = 4},
    {.name = "a_change_in_any_of_sixteen_bytes",
     .system_time = each_byte_changed(),
     .lines = 1 + 2 * static_cast<long>(sizeof(SYSTEMTIME))},
    {.name = "system_time_set_back_quiet",
     .system_time = after_ten({0, 15, 31, 46 - 3600000, 62 - 3600000}),
     .quiet = 1,
     .out = "-3599985.0000 ms\n"},
};

void PrintTo(const MonitorRun& run, std::ostream* os) { *os << run.name; }

class StepMonitor : public testing::TestWithParam<MonitorRun> {};

TEST_P(StepMonitor, PrintsTheScriptedSteps) {
  const MonitorRun& run = GetParam();
  fake::reset();
  fake::state().file_times = run.file_time;
  fake::state().system_times = run.system_time;
  option_quiet = run.quiet;
  const bool file_time = !run.file_time.empty();
  const std::string out = run_monitor(file_time ? run_file_time_monitor : run_system_time_monitor);
  if (run.lines != 0) {
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), run.lines);
  } else {
    EXPECT_EQ(out, run.out);
  }
  // It polls on to the end of its script, however long the clock stands still.
  EXPECT_EQ(file_time ? fake::state().file_time_reads : fake::state().system_time_reads,
            file_time ? run.file_time.size() : run.system_time.size());
  EXPECT_EQ(run.conversions < 0 ? -1 : fake::state().conversions, run.conversions);
}

INSTANTIATE_TEST_SUITE_P(Cases, StepMonitor, testing::ValuesIn(kRuns), row_name<MonitorRun>);

TEST(StepLine, FailedWriteEndsTheProcessWithStatusTwo) {
  fake::reset();
  fake::state().file_times = {T, T + 1, T + 2, T + 3};
  option_quiet = 0;
  EXPECT_EXIT(
      {
        if (freopen("/dev/full", "w", stdout) == nullptr) std::_Exit(9);
        setvbuf(stdout, nullptr, _IOLBF, 0);
        run_file_time_monitor();
      },
      testing::ExitedWithCode(2), "");
}

}  // namespace
