#include "measure.h"

#include <algorithm>
#include <atomic>
#include <cmath>

#include "step_sizes.h"

namespace {

constexpr int kBatchReads = 256;
constexpr int kMostBatches = 512;
constexpr uint32_t kReadsPerCheck = 1024;  // reads between two looks at the reference
// A checker that starts late, after the publisher ended, still compares this many.
constexpr uint64_t kLeastCompared = uint64_t{4} * kReadsPerCheck;
constexpr int kMostWaitSamples = 1000;

double batch_ns[kMostBatches];
int64_t wait_ns[kMostWaitSamples];
StepSizes sizes;
volatile int64_t read_sink;  // keeps the timed reads from being left out

// What the two threads of one direction share. The readings pass through the one atomic,
// on a cache line of its own; each thread copies the rest before it starts, and only the
// checker writes the counts, once, when it ends, which the caller reads after joining it.
struct Across {
  alignas(64) std::atomic<int64_t> published;
  const Clock* clock;
  const Machine* machine;
  int64_t until_ns;
  uint64_t compared;
  uint64_t backward;
  int64_t largest;
};

Across across;

void publish_readings(void* argument) {
  Across* shared = static_cast<Across*>(argument);
  const Clock clock = *shared->clock;
  const Machine machine = *shared->machine;
  const int64_t until_ns = shared->until_ns;
  for (uint32_t reads = 1;; reads++) {
    shared->published.store(clock.read(), std::memory_order_release);
    if (reads % kReadsPerCheck == 0 &&
        (machine.reference_ns() >= until_ns || machine.should_stop())) {
      return;
    }
  }
}

// Each reading is taken after the published one was loaded, so after the publisher
// read it: a reading below it went back against the other processor.
void check_readings(void* argument) {
  Across* shared = static_cast<Across*>(argument);
  const Clock clock = *shared->clock;
  const Machine machine = *shared->machine;
  const int64_t until_ns = shared->until_ns;
  uint64_t compared = 0, backward = 0;
  int64_t largest = 0;
  for (uint32_t reads = 1;; reads++) {
    const int64_t seen = shared->published.load(std::memory_order_acquire);
    const int64_t now = clock.read();
    const int64_t step = clock_step(clock, seen, now);
    compared++;
    if (step < 0) {
      backward++;
      largest = std::max(largest, -step);
    }
    if (reads % kReadsPerCheck != 0) continue;
    if (machine.should_stop() ||
        (compared >= kLeastCompared && machine.reference_ns() >= until_ns)) {
      break;
    }
  }
  shared->compared += compared;
  shared->backward += backward;
  shared->largest = std::max(shared->largest, largest);
}

// One direction: the publisher on one processor, the checker on the other.
bool compare_one_way(int publisher, int checker, int64_t for_ns) {
  const Machine& machine = *across.machine;
  across.published.store(across.clock->read(), std::memory_order_release);
  across.until_ns = machine.reference_ns() + for_ns;
  void* publishing = machine.start_thread(publish_readings, &across, publisher);
  if (publishing == nullptr) return false;
  void* checking = machine.start_thread(check_readings, &across, checker);
  // Without a checker the publisher still ends by its time.
  machine.join_thread(publishing);
  if (checking == nullptr) return false;
  machine.join_thread(checking);
  return true;
}

void take_change(const Machine& machine, int64_t step, int64_t now, ClockFigures* figures) {
  if (step < 0) {
    figures->backward++;
    figures->largest_backward = std::max(figures->largest_backward, -step);
  } else if (!figures->first.seen) {  // the first change is not a whole step
    figures->first = Edge{now, machine.reference_ns(), true};
  } else {
    figures->steps++;
    count_step_size(&sizes, step);
    if (figures->smallest == 0 || step < figures->smallest) figures->smallest = step;
  }
}

}  // namespace

int64_t clock_step(const Clock& clock, int64_t from, int64_t to) {
  const uint64_t difference = static_cast<uint64_t>(to) - static_cast<uint64_t>(from);
  if (clock.wrap_bits == 32) return static_cast<int32_t>(static_cast<uint32_t>(difference));
  return static_cast<int64_t>(difference);
}

double measure_read_cost(const Clock& clock, const Machine& machine, int64_t for_ns) {
  const int64_t until = machine.reference_ns() + for_ns;
  int64_t sink = 0;
  int batches = 0;
  while (batches < kMostBatches) {
    const int64_t start = machine.reference_ns();
    for (int i = 0; i < kBatchReads; i++) sink += clock.read();
    const int64_t end = machine.reference_ns();
    // cppcheck-suppress duplicateExpression ; two readings of the reference, apart in time
    batch_ns[batches++] = static_cast<double>(end - start) / kBatchReads;
    if (end >= until || machine.should_stop()) break;
  }
  read_sink = sink;
  std::nth_element(batch_ns, batch_ns + batches / 2, batch_ns + batches);
  return batch_ns[batches / 2];
}

void poll_steps(const Clock& clock, const Machine& machine, const ClockPlan& plan,
                ClockFigures* figures) {
  clear_step_sizes(&sizes);
  const int64_t start = machine.reference_ns();
  const int64_t until = start + plan.polling_ns;
  const int64_t give_up = start + std::max(plan.polling_ns, plan.patience_ns);
  int64_t previous = clock.read();
  for (uint32_t reads = 1;; reads++) {
    const int64_t now = clock.read();
    if (now != previous) {
      take_change(machine, clock_step(clock, previous, now), now, figures);
      previous = now;
    }
    if (reads % kReadsPerCheck != 0) continue;
    const int64_t at = machine.reference_ns();
    if (at >= give_up || (at >= until && figures->steps > 0) || machine.should_stop()) break;
  }
  figures->typical = most_frequent_size(sizes);
}

void compare_across_threads(const Clock& clock, const Machine& machine, int64_t for_ns,
                            ClockFigures* figures) {
  across.clock = &clock;
  across.machine = &machine;
  across.compared = 0;
  across.backward = 0;
  across.largest = 0;
  if (!compare_one_way(0, 1, for_ns / 2) || !compare_one_way(1, 0, for_ns / 2)) return;
  figures->across_measured = true;
  figures->across_compared = across.compared;
  figures->across_backward = across.backward;
  figures->largest_across = across.largest;
}

void watch_last_edge(const Clock& clock, const Machine& machine, int64_t for_ns,
                     ClockFigures* figures) {
  const int64_t start = machine.reference_ns();
  const int64_t previous = clock.read();
  for (uint32_t reads = 1;; reads++) {
    const int64_t now = clock.read();
    if (now != previous) {
      figures->last = Edge{now, machine.reference_ns(), true};
      return;
    }
    if (reads % kReadsPerCheck != 0) continue;
    const int64_t watched = machine.reference_ns() - start;
    if (watched >= for_ns) {
      figures->stopped = true;
      figures->stopped_for_ns = watched;
      return;
    }
  }
}

void settle_rate(const Clock& clock, ClockFigures* figures) {
  if (!figures->first.seen || !figures->last.seen) return;
  const double reference_ns =
      static_cast<double>(figures->last.reference_ns - figures->first.reference_ns);
  if (reference_ns <= 0) return;
  const double ticks =
      static_cast<double>(clock_step(clock, figures->first.value, figures->last.value));
  if (figures->ticks_per_second == 0) {
    figures->ticks_per_second = std::llround(ticks * 1e9 / reference_ns);
    figures->ticks_found = figures->ticks_per_second > 0;
    return;
  }
  const double per_ns = 1e9 / static_cast<double>(figures->ticks_per_second);
  figures->has_rate = true;
  figures->rate_ppm = (ticks * per_ns - reference_ns) / reference_ns * 1e6;
  // A clock's value at a change may lag the true time by up to a step (Linux's coarse
  // clocks advance by whole ticks when a late tick comes), and the edge is seen a read late.
  const double lag_ns = static_cast<double>(figures->smallest) * per_ns + figures->read_ns;
  figures->rate_uncertainty_ppm = 2 * lag_ns / reference_ns * 1e6;
}

void measure_wait(const Wait& wait, const Machine& machine, int64_t for_ns, WaitFigures* figures) {
  if (wait.begin != nullptr && !wait.begin()) {
    figures->refused = true;
    return;
  }
  const WaitSetting setting = machine.wait_setting();
  const int64_t until = machine.reference_ns() + for_ns;
  int waits = 0;
  while (waits < kMostWaitSamples) {
    const int64_t start = machine.reference_ns();
    wait.wait();
    const int64_t end = machine.reference_ns();
    // cppcheck-suppress duplicateExpression ; two readings of the reference, apart in time
    wait_ns[waits++] = end - start;
    if (end >= until || machine.should_stop()) break;
  }
  if (wait.end != nullptr) wait.end();
  std::sort(wait_ns, wait_ns + waits);
  figures->measured = true;
  figures->setting = setting.what;
  figures->setting_ns = setting.ns;
  figures->waits = waits;
  figures->median_ns = wait_ns[(waits - 1) / 2];
  figures->p99_ns = wait_ns[(waits * 99 + 99) / 100 - 1];  // the nearest rank
}
