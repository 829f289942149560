// What the monitors' own work costs beside the clock reads they are built around.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>
#include <thread>

#include "clock_poll.h"
#include "options.h"
#include "platform/platform.h"
#include "step_monitor.h"

namespace {

void bare_file_time_read(benchmark::State& state) {
  FILETIME now;
  for (auto _ : state) {
    GetSystemTimeAsFileTime(&now);
    benchmark::DoNotOptimize(now);
  }
}

void bare_system_time_read(benchmark::State& state) {
  SYSTEMTIME now;
  for (auto _ : state) {
    GetSystemTime(&now);
    benchmark::DoNotOptimize(now);
  }
}

void bare_counter_read(benchmark::State& state) {
  LARGE_INTEGER count;
  for (auto _ : state) {
    QueryPerformanceCounter(&count);
    benchmark::DoNotOptimize(count);
  }
}

// What tickclocks reports as CLOCK_MONOTONIC's read cost, timed here.
void bare_monotonic_read(benchmark::State& state) {
  timespec now;
  for (auto _ : state) {
    clock_gettime(CLOCK_MONOTONIC, &now);
    benchmark::DoNotOptimize(now);
  }
}

void file_time_poll_step(benchmark::State& state) {
  FILETIME previous;
  FILETIME current;
  GetSystemTimeAsFileTime(&previous);
  for (auto _ : state) benchmark::DoNotOptimize(file_time_changed(&current, previous));
}

void system_time_poll_step(benchmark::State& state) {
  SYSTEMTIME previous;
  SYSTEMTIME current;
  GetSystemTime(&previous);
  for (auto _ : state) benchmark::DoNotOptimize(system_time_changed(&current, previous));
}

// Points standard output somewhere else for one benchmark and back afterwards,
// so the benchmark's own report still reaches the terminal.
class StdoutRedirect {
 public:
  explicit StdoutRedirect(int target) : saved_(dup(1)) {
    fflush(stdout);
    dup2(target, 1);
  }
  ~StdoutRedirect() {
    fflush(stdout);
    dup2(saved_, 1);
    close(saved_);
    setvbuf(stdout, nullptr, _IOLBF, 0);
  }

 private:
  int saved_;
};

void print_steps(benchmark::State& state) {
  option_quiet = 0;
  int64_t step = 156250;
  for (auto _ : state) report_step(step++);
}

void step_line_into_pipe(benchmark::State& state) {
  int ends[2];
  if (pipe(ends) != 0) return state.SkipWithError("no pipe");
  // The reader takes what has gathered once a millisecond, as a busy consumer
  // would, rather than waking (and making each write wake it) for every line.
  std::thread drain([&ends] {
    static char sink[1 << 16];
    while (read(ends[0], sink, sizeof sink) > 0) usleep(1000);
  });
  {
    StdoutRedirect redirect(ends[1]);
    prepare_standard_output();  // the program's own setting: each line written as printed
    print_steps(state);
  }
  close(ends[1]);
  drain.join();
  close(ends[0]);
}

// The line's formatting and its one write, without a reader to wake.
void step_line_into_dev_null(benchmark::State& state) {
  FILE* null = fopen("/dev/null", "w");
  {
    StdoutRedirect redirect(fileno(null));
    print_steps(state);
  }
  fclose(null);
}

}  // namespace

BENCHMARK(bare_file_time_read);
BENCHMARK(bare_system_time_read);
BENCHMARK(bare_counter_read);
BENCHMARK(bare_monotonic_read);
BENCHMARK(file_time_poll_step);
BENCHMARK(system_time_poll_step);
BENCHMARK(step_line_into_pipe);
BENCHMARK(step_line_into_dev_null);
BENCHMARK_MAIN();
