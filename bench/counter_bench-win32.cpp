// QueryPerformanceCounter under Wine, timed by Google Benchmark: a Winelib program
// (bench/run builds it with wineg++), so that the Linux library times the Windows call
// that tickclocks.exe reports on, in the same Wine.
#include <benchmark/benchmark.h>
#include <windows.h>

namespace {

void bare_counter_read(benchmark::State& state) {
  LARGE_INTEGER count;
  for (auto _ : state) {
    QueryPerformanceCounter(&count);
    benchmark::DoNotOptimize(count);
  }
}

}  // namespace

BENCHMARK(bare_counter_read);
BENCHMARK_MAIN();
