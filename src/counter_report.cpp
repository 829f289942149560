#include "counter_report.h"

#include <cstdio>

#include "platform/platform.h"
#include "word_size.h"

const int counter_sample_count = 100;

namespace {

double frequency_in_mhz(long long counts_per_second) {
  // The 32-bit program has always multiplied by 0.000001; at odd multiples of
  // 500 Hz that rounds to a different last decimal than the division, and is kept.
  if (kWordSize == 32) return static_cast<double>(counts_per_second) * 0.000001;
  return static_cast<double>(counts_per_second) / 1000000;
}

// Nanoseconds that a count difference stands for, converted in double so it cannot overflow.
double counts_to_ns(long long counts, long long counts_per_second) {
  return static_cast<double>(counts) * 1000000000 / static_cast<double>(counts_per_second);
}

}  // namespace

void report_performance_counter() {
  LARGE_INTEGER frequency;
  if (!QueryPerformanceFrequency(&frequency)) {
    printf("QueryPerformanceFrequency call failed.\n");
    return;
  }
  printf("Performance Counter Frequency: %.3f MHz\n", frequency_in_mhz(frequency.QuadPart));
  LARGE_INTEGER first;
  LARGE_INTEGER second;
  LARGE_INTEGER last;
  QueryPerformanceCounter(&first);
  QueryPerformanceCounter(&second);
  for (int i = 0; i < counter_sample_count; i++) QueryPerformanceCounter(&last);
  const double single_ns = counts_to_ns(second.QuadPart - first.QuadPart, frequency.QuadPart);
  const double mean_ns =
      counts_to_ns(last.QuadPart - second.QuadPart, frequency.QuadPart) / counter_sample_count;
  printf("Query Performance Counter execution time: %.0f ns (%.0f ns mean for %i calls)\n",
         single_ns, mean_ns, counter_sample_count);
}
