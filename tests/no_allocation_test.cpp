// Counts every allocation of the process to show that a running monitor makes none.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "fake_platform.h"
#include "options.h"
#include "step_monitor.h"

extern "C" void* __libc_malloc(size_t size);
extern "C" void* __libc_calloc(size_t count, size_t size);
extern "C" void* __libc_realloc(void* block, size_t size);

namespace {
long allocations = 0;
}

extern "C" void* malloc(size_t size) {
  allocations++;
  return __libc_malloc(size);
}

extern "C" void* calloc(size_t count, size_t size) {
  allocations++;
  return __libc_calloc(count, size);
}

extern "C" void* realloc(void* block, size_t size) {
  allocations++;
  return __libc_realloc(block, size);
}

namespace {

// Allocations made by a monitor over a script of this many steps, until the script ends.
long allocations_over(void (*monitor)(), size_t steps) {
  fake::reset();
  for (size_t i = 0; i < steps; i++) {
    fake::state().file_times.push_back(1000 + i);
    fake::state().system_times.push_back(
        fake::at(static_cast<WORD>(i / 3600000 % 24), static_cast<WORD>(i / 60000 % 60),
                 static_cast<WORD>(i / 1000 % 60), static_cast<WORD>(i % 1000)));
  }
  const long before = allocations;
  try {
    monitor();
  } catch (const fake::ScriptEnded&) {
  }
  return allocations - before;
}

TEST(NoAllocation, MonitorsAllocateNothingHoweverLongTheyRun) {
  if (freopen("/dev/null", "w", stdout) == nullptr) FAIL() << "no /dev/null";
  option_quiet = 0;
  allocations_over(run_file_time_monitor, 10);  // lets the runtime set stdout up once
  // The only allocation left is the fake's own exception that ends the script.
  EXPECT_EQ(allocations_over(run_file_time_monitor, 10), 1);
  EXPECT_EQ(allocations_over(run_file_time_monitor, 1000000), 1);
  EXPECT_EQ(allocations_over(run_system_time_monitor, 10), 1);
  EXPECT_EQ(allocations_over(run_system_time_monitor, 1000000), 1);
}

}  // namespace
