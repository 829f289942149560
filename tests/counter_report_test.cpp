#include <gtest/gtest.h>

#include "counter_report.h"
#include "fake_platform.h"
#include "word_size.h"

namespace {

std::string report() {
  testing::internal::CaptureStdout();
  report_performance_counter();
  return testing::internal::GetCapturedStdout();
}

// Counts for the two single reads and then the sample reads, the last ending at last.
std::vector<long long> counts(long long first, long long second, long long last) {
  std::vector<long long> values = {first, second};
  for (int i = 1; i < counter_sample_count; i++) values.push_back(second + i);
  values.push_back(last);
  return values;
}

class CounterReport : public testing::Test {
 protected:
  void SetUp() override { fake::reset(); }
};

TEST_F(CounterReport, NoCounterPrintsOnlyTheFailure) {
  EXPECT_EQ(report(), "QueryPerformanceFrequency call failed.\n");
  EXPECT_EQ(fake::state().counter_reads, 0u);
}

TEST_F(CounterReport, TimesFollowFromTheCountsAndMeanCoversTheHundredReadsOnly) {
  fake::state().frequency = 10000000;
  fake::state().counts = counts(1000, 1003, 1003 + 2500);
  EXPECT_EQ(report(),
            "Performance Counter Frequency: 10.000 MHz\n"
            "Query Performance Counter execution time: 300 ns (2500 ns mean for 100 calls)\n");
  EXPECT_EQ(fake::state().counter_reads, 102u);
  EXPECT_EQ(counter_sample_count, 100);
}

TEST_F(CounterReport, DifferencesAreTakenBeforeConversionToDouble) {
  const long long big = 1LL << 62;  // a double cannot tell big and big + 7 apart
  fake::state().frequency = 10000000;
  fake::state().counts = counts(big + 1, big + 8, big + 8 + 190);
  EXPECT_EQ(report(),
            "Performance Counter Frequency: 10.000 MHz\n"
            "Query Performance Counter execution time: 700 ns (190 ns mean for 100 calls)\n");
}

TEST_F(CounterReport, OddMultipleOf500HzRoundsAsEachSettingAlwaysDid) {
  fake::state().frequency = 58500;
  fake::state().counts = counts(0, 0, 0);
  const std::string expected = kWordSize == 32 ? "0.058" : "0.059";
  EXPECT_EQ(report().find("Performance Counter Frequency: " + expected + " MHz\n"), 0u);
}

}  // namespace
