#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

#include "platform/platform.h"

namespace {

uint64_t units_of(const SYSTEMTIME& time) {
  FILETIME file_time = {0, 0};
  EXPECT_TRUE(SystemTimeToFileTime(&time, &file_time));
  return file_time_units(file_time);
}

SYSTEMTIME time_of(uint64_t units) {
  const FILETIME file_time = make_file_time(units);
  SYSTEMTIME time;
  EXPECT_TRUE(FileTimeToSystemTime(&file_time, &time));
  return time;
}

TEST(PosixStandIn, ConvertsKnownInstants) {
  EXPECT_EQ(units_of({1601, 1, 1, 1, 0, 0, 0, 0}), 0u);
  EXPECT_EQ(units_of({1970, 1, 4, 1, 0, 0, 0, 0}), 116444736000000000u);
  EXPECT_EQ(units_of({2000, 2, 2, 29, 12, 34, 56, 789}), 125963012967890000u);
  const SYSTEMTIME monday = time_of(units_of({2026, 12, 0, 7, 23, 59, 59, 999}));
  EXPECT_EQ(monday.wDayOfWeek, 1);
  EXPECT_EQ(time_of(0).wDayOfWeek, 1);
}

TEST(PosixStandIn, RefusesFieldsOutOfRange) {
  const SYSTEMTIME bad[] = {{1600, 12, 0, 31, 0, 0, 0, 0}, {2023, 2, 0, 29, 0, 0, 0, 0},
                            {2024, 13, 0, 1, 0, 0, 0, 0},  {2024, 1, 0, 0, 0, 0, 0, 0},
                            {2024, 1, 0, 1, 24, 0, 0, 0},  {2024, 1, 0, 1, 0, 60, 0, 0},
                            {2024, 1, 0, 1, 0, 0, 60, 0},  {2024, 1, 0, 1, 0, 0, 0, 1000}};
  for (const SYSTEMTIME& time : bad) {
    FILETIME file_time;
    EXPECT_FALSE(SystemTimeToFileTime(&time, &file_time)) << time.wYear << "-" << time.wMonth;
  }
  const FILETIME too_late = {0, 0x80000000u};
  SYSTEMTIME time;
  EXPECT_FALSE(FileTimeToSystemTime(&too_late, &time));
}

TEST(PosixStandIn, ConversionsAreExactInversesOverTheWholeRange) {
  const uint64_t units_per_day = 864000000000ULL;
  const uint64_t last_day = 0x7fffffffffffffffULL / units_per_day;
  for (uint64_t day = 0; day<last_day; day += day> 109000 && day < 183000 ? 1 : 13) {
    const uint64_t units = day * units_per_day + (day * 7919 % 86400000) * 10000;
    ASSERT_EQ(units_of(time_of(units)), units) << "day " << day;
  }
}

TEST(PosixStandIn, ClocksAgreeAndCounterIsHonest) {
  FILETIME before;
  SYSTEMTIME now;
  FILETIME after;
  GetSystemTimeAsFileTime(&before);
  GetSystemTime(&now);
  GetSystemTimeAsFileTime(&after);
  const uint64_t before_units = file_time_units(before);
  const uint64_t after_units = file_time_units(after);
  EXPECT_GE(units_of(now), before_units - before_units % 10000);
  EXPECT_LE(units_of(now), after_units);
  LARGE_INTEGER frequency;
  LARGE_INTEGER first;
  LARGE_INTEGER second;
  ASSERT_TRUE(QueryPerformanceFrequency(&frequency));
  EXPECT_EQ(frequency.QuadPart, 1000000000);
  QueryPerformanceCounter(&first);
  QueryPerformanceCounter(&second);
  EXPECT_LE(first.QuadPart, second.QuadPart);
}

// Writes a step line with standard output pointed at output; whether it went.
bool write_step_line_into(int output) {
  const int saved = dup(STDOUT_FILENO);
  dup2(output, STDOUT_FILENO);
  const bool written = write_standard_output_line("15.6250 ms\n", 11);
  dup2(saved, STDOUT_FILENO);
  close(saved);
  return written;
}

TEST(PosixStandIn, StepLineWaitsWholeForASlowReaderAndReportsAFullDisk) {
  int ends[2];
  ASSERT_EQ(pipe(ends), 0);
  fcntl(ends[1], F_SETFL, O_NONBLOCK);
  size_t filled = 0;
  while (write(ends[1], "x", 1) == 1) filled++;
  std::string received;
  std::thread reader([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    char chunk[4096];
    for (ssize_t got; (got = read(ends[0], chunk, sizeof chunk)) > 0;) received.append(chunk, got);
  });
  EXPECT_TRUE(write_step_line_into(ends[1]));
  close(ends[1]);
  reader.join();
  close(ends[0]);
  EXPECT_EQ(received, std::string(filled, 'x') + "15.6250 ms\n");
  const int full = open("/dev/full", O_WRONLY);
  EXPECT_FALSE(write_step_line_into(full));
  close(full);
}

}  // namespace
