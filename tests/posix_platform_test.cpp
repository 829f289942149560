#include <gtest/gtest.h>

#include <cstring>

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

TEST(PosixStandIn, FindsNoEmulationLayer) { EXPECT_EQ(GetModuleHandleA("kernel32.dll"), nullptr); }

}  // namespace
