#include "measure.h"

#include <algorithm>
#include <atomic>
#include <cmath>

#include "step_sizes.h"

namespace {

constexpr int kBatchReads = 256;
constexpr uint32_t kReadsPerCheck = 1024;  // reads between two looks at the reference
// A checker that starts late, after the publisher ended, still compares this many.
constexpr uint64_t kLeastCompared = uint64_t{4} * kReadsPerCheck;
constexpr int kMostSamples = 4096;  // of batches or of waits, spread over any run
// A clock that changes on fewer than one read in kRareChange of kProbeReads is pinned.
constexpr int kProbeReads = 4096;
constexpr int kRareChange = 64;
// What a jump must pass besides the windows and a step: a slew's rate, far beyond what
// time synchronisation slews by, and a least size.
constexpr double kSlewPerNs = 1e-3;
// A clock the system updates on a tick may read a few ticks late where the machine is
// busy (6 ms seen at a load of 7 on 2 processors): far less than any clock setting.
constexpr double kLeastJumpNs = 1e8;

double samples[kMostSamples];
StepSizes sizes;
volatile int64_t read_sink;  // keeps the timed reads from being left out

// Keeps samples evenly spread over a run of any length in the fixed array: once it is
// full, every second one goes, and from then on only every second one comes in.
struct Sampling {
  int count;
  int64_t seen;
  int64_t every;
};

void keep_sample(double value, Sampling* sampling) {
  if (sampling->seen++ % sampling->every != 0) return;
  if (sampling->count == kMostSamples) {
    for (size_t i = 0; i < kMostSamples / 2; i++) samples[i] = samples[2 * i];
    sampling->count = kMostSamples / 2;
    sampling->every *= 2;  // this one is one of every so many still
  }
  samples[sampling->count++] = value;
}

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

// Whether the clock changes on fewer than one read in kRareChange: so rarely that a pause
// of the poller may hide whole steps in one change. Counted in reads, which a pause
// does not shorten.
bool changes_rarely(const Clock& clock) {
  int changes = 0;
  int64_t previous = clock.read();
  for (int i = 0; i < kProbeReads; i++) {
    const int64_t now = clock.read();
    changes += now != previous ? 1 : 0;
    previous = now;
  }
  return changes * kRareChange < kProbeReads;
}

// Reads the clock until it changes, the reference after each read, into edge: the change
// came between the reference before the last read that saw no change and the one after
// the read that saw it. False where it did not change before until_ns, or a stop.
bool catch_change(const Clock& clock, const Machine& machine, int64_t until_ns, Reading* edge) {
  int64_t earlier = machine.reference_ns();
  const int64_t previous = clock.read();
  int64_t between = machine.reference_ns();
  for (uint32_t reads = 1;; reads++) {
    const int64_t now = clock.read();
    const int64_t after = machine.reference_ns();
    // cppcheck-suppress knownConditionTrueFalse ; two readings of the clock, apart in time
    if (now != previous) {
      *edge = Reading{now, earlier, after, true};
      return true;
    }
    earlier = between;
    between = after;
    if (after >= until_ns || (reads % kReadsPerCheck == 0 && machine.should_stop())) return false;
  }
}

void count_step(int64_t step, ClockFigures* figures) {
  if (step < 0) {
    figures->backward++;
    figures->largest_backward = std::max(figures->largest_backward, -step);
    return;
  }
  figures->steps++;
  count_step_size(&sizes, step);
  if (figures->smallest == 0 || step < figures->smallest) figures->smallest = step;
}

// Until when a clock is polled: to until_ns, and on to give_up_ns while no whole step was seen.
struct PollingTime {
  int64_t until_ns;
  int64_t give_up_ns;
};

bool polled_enough(int64_t at, const PollingTime& time, const ClockFigures& figures) {
  return at >= time.give_up_ns || (at >= time.until_ns && figures.steps > 0);
}

// Back to back, as tickgauge polls: a pause among so many changes leaves the typical and
// the smallest step as they are. The last change is known to have come by the next look
// at the reference.
void poll_often(const Clock& clock, const Machine& machine, const PollingTime& time,
                ClockFigures* figures) {
  int64_t previous = figures->first.value;
  bool changed = false;
  for (uint32_t reads = 1;; reads++) {
    const int64_t now = clock.read();
    if (now != previous) {
      count_step(clock_step(clock, previous, now), figures);
      previous = now;
      changed = true;
    }
    if (reads % kReadsPerCheck != 0) continue;
    const int64_t at = machine.reference_ns();
    if (changed) figures->changed = Reading{previous, at, at, true};
    changed = false;
    if (polled_enough(at, time, *figures) || machine.should_stop()) break;
  }
}

// Whether a change of step ticks is one step of the clock: watched from the read that saw
// the change before with no two reads further apart than a quarter of the step, so that
// no two of its updates could come between them, and not sooner than half the step
// after it. A clock that the system updates late after a pause changes again right after
// the poller looks: it catches up, which is not its step.
bool one_step(const ClockFigures& figures, int64_t step, int64_t away_ns, int64_t since_ns) {
  const double step_ns = ticks_ns(figures, step);
  if (step < 0 || step_ns <= 0) return true;
  return 4 * static_cast<double>(away_ns) < step_ns && 2 * static_cast<double>(since_ns) > step_ns;
}

// The reference after each read, so that each change is pinned to the window between the
// last read that did not see it and the one that did: a pause of the poller, which may
// hide several steps in one change, widens that window, and no step is taken from it.
void poll_pinned(const Clock& clock, const Machine& machine, const PollingTime& time,
                 ClockFigures* figures) {
  Reading changed = figures->first;
  int64_t earlier = changed.before_ns, between = changed.after_ns;
  int64_t away = 0;  // the longest window of a read since the one that saw the change before
  for (uint32_t reads = 1;; reads++) {
    const int64_t now = clock.read();
    const int64_t after = machine.reference_ns();
    away = std::max(away, after - earlier);
    if (now != changed.value) {
      const int64_t step = clock_step(clock, changed.value, now);
      if (one_step(*figures, step, away, after - changed.before_ns)) count_step(step, figures);
      changed = Reading{now, earlier, after, true};
      away = 0;
    }
    earlier = between;
    between = after;
    if (polled_enough(after, time, *figures)) break;
    if (reads % kReadsPerCheck == 0 && machine.should_stop()) break;
  }
  figures->changed = changed;
}

// A reading's offset from the first change's in ns: how far the clock moved beyond the
// reference since.
double offset_ns(const Clock& clock, const ClockFigures& figures, const Reading& reading) {
  const double middle = static_cast<double>(reading.after_ns - figures.first.after_ns) +
                        static_cast<double>(reading.before_ns - figures.first.before_ns);
  return ticks_ns(figures, clock_step(clock, figures.first.value, reading.value)) - middle / 2;
}

double width_ns(const Reading& reading) {
  return static_cast<double>(reading.after_ns - reading.before_ns);
}

// How far the clock moved against the reference from one reading to a later one, where
// that is more than their windows, a step and a slew allow; else 0. Not against its rate
// over the run: a jump in a run of one part would be all of that rate.
double jumped_by(const Clock& clock, const ClockFigures& figures, const Reading& from,
                 const Reading& to) {
  const double elapsed = static_cast<double>(to.after_ns - from.after_ns);
  const double moved = offset_ns(clock, figures, to) - offset_ns(clock, figures, from);
  const double allowed = (width_ns(from) + width_ns(to)) / 2 + ticks_ns(figures, figures.typical) +
                         kSlewPerNs * elapsed + kLeastJumpNs;
  return std::fabs(moved) > allowed ? moved : 0;
}

// A jump: the clock moved so between two readings and stayed moved at the reading after,
// where there is one: a value read late once, from a clock that the system updated late
// after a pause, is no jump. The largest such move is the jump. A processor's time is
// left out: its rate is a share that changes.
void find_jump(const Clock& clock, ClockFigures* figures) {
  if (clock.kind == kCpuTime) return;
  const Reading* previous = &figures->first;
  for (int i = 0; i < figures->mark_count; i++) {
    const Reading& mark = figures->marks[i];
    const double moved = jumped_by(clock, *figures, *previous, mark);
    const bool stayed = i + 1 == figures->mark_count ||
                        jumped_by(clock, *figures, *previous, figures->marks[i + 1]) != 0;
    if (stayed && std::fabs(moved) > std::fabs(figures->jump_ns)) figures->jump_ns = moved;
    previous = &mark;
  }
}

// A clock of the day set by less than a jump during the run: no slewing moves it more
// than kSlewPerNs, so a rate beyond that, by more than its uncertainty and a few of its
// steps, was a setting, and how far it moved is the jump.
void find_setting(const Clock& clock, double span_ns, ClockFigures* figures) {
  if (clock.kind != kTimeOfDay) return;
  const double moved_ns = figures->rate_ppm * 1e-6 * span_ns;
  const double beyond_ppm = std::fabs(figures->rate_ppm) - figures->rate_uncertainty_ppm;
  const double steps_ns = 4 * ticks_ns(*figures, figures->typical);
  if (beyond_ppm > kSlewPerNs * 1e6 && std::fabs(moved_ns) > steps_ns) figures->jump_ns = moved_ns;
}

// Whether the clock kept the value of its last change while polling from then to the last
// mark, for two of its steps or more; how long is stopped_for_ns.
void find_stop(const ClockFigures& figures, const Reading& last, ClockFigures* found) {
  const double step_ns = ticks_ns(figures, figures.typical);
  if (!figures.changed.seen || step_ns <= 0 || last.value != figures.changed.value) return;
  found->stopped_for_ns = last.before_ns - figures.changed.after_ns;
  found->stopped = static_cast<double>(found->stopped_for_ns) >= 2 * step_ns;
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
  Sampling sampling = {0, 0, 1};
  for (;;) {
    const int64_t start = machine.reference_ns();
    for (int i = 0; i < kBatchReads; i++) sink += clock.read();
    const int64_t end = machine.reference_ns();
    // cppcheck-suppress duplicateExpression ; two readings of the reference, apart in time
    keep_sample(static_cast<double>(end - start) / kBatchReads, &sampling);
    if (end >= until || machine.should_stop()) break;
  }
  read_sink = sink;
  std::nth_element(samples, samples + sampling.count / 2, samples + sampling.count);
  return samples[sampling.count / 2];
}

void poll_steps(const Clock& clock, const Machine& machine, const ClockPlan& plan,
                ClockFigures* figures) {
  clear_step_sizes(&sizes);
  const int64_t start = machine.reference_ns();
  const PollingTime time = {start + plan.polling_ns,
                            start + std::max(plan.polling_ns, plan.patience_ns)};
  const bool rarely = changes_rarely(clock);
  if (catch_change(clock, machine, time.give_up_ns, &figures->first)) {
    figures->changed = figures->first;
    if (rarely) {
      poll_pinned(clock, machine, time, figures);
    } else {
      poll_often(clock, machine, time, figures);
    }
  }
  figures->polled_ns = machine.reference_ns() - start;
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

void mark_clock(const Clock& clock, const Machine& machine, ClockFigures* figures) {
  if (!figures->first.seen) return;
  // Past the last room, the last mark moves on: the span a jump may hide in grows.
  const int slot = std::min(figures->mark_count, kMostMarks - 1);
  const int64_t before = machine.reference_ns();
  const int64_t value = clock.read();
  figures->marks[slot] = Reading{value, before, machine.reference_ns(), true};
  figures->mark_count = slot + 1;
}

void settle_rate(const Clock& clock, ClockFigures* figures) {
  if (figures->mark_count == 0) return;
  const Reading& first = figures->first;
  const Reading& last = figures->marks[figures->mark_count - 1];
  find_stop(*figures, last, figures);
  const double span_ns =
      static_cast<double>(last.after_ns - first.after_ns + last.before_ns - first.before_ns) / 2;
  if (figures->stopped || span_ns <= 0) return;
  const double ticks = static_cast<double>(clock_step(clock, first.value, last.value));
  if (figures->ticks_per_second == 0) {
    figures->ticks_per_second = std::llround(ticks * 1e9 / span_ns);
    figures->ticks_found = figures->ticks_per_second > 0;
    return;
  }
  // Without a whole step seen, how far a value may lag the true time is not known.
  if (figures->typical <= 0) return;
  figures->has_rate = true;
  figures->rate_ppm = (ticks_ns(*figures, 1) * ticks - span_ns) / span_ns * 1e6;
  // Each reading came within its window, and its value may lag the true time by a step,
  // and by one more where the update that ends the step came late.
  const double margin_ns =
      (width_ns(first) + width_ns(last)) / 2 + 2 * ticks_ns(*figures, figures->typical);
  figures->rate_uncertainty_ppm = margin_ns / span_ns * 1e6;
  find_jump(clock, figures);
  if (figures->jump_ns == 0) find_setting(clock, span_ns, figures);
  figures->has_rate = figures->jump_ns == 0;
}

void measure_wait(const Wait& wait, const Machine& machine, int64_t for_ns, WaitFigures* figures) {
  if (wait.begin != nullptr && !wait.begin()) {
    figures->refused = true;
    return;
  }
  const WaitSetting setting = machine.wait_setting();
  const int64_t until = machine.reference_ns() + for_ns;
  Sampling sampling = {0, 0, 1};
  for (;;) {
    const int64_t start = machine.reference_ns();
    wait.wait();
    const int64_t end = machine.reference_ns();
    // cppcheck-suppress duplicateExpression ; two readings of the reference, apart in time
    keep_sample(static_cast<double>(end - start), &sampling);
    if (end >= until || machine.should_stop()) break;
  }
  if (wait.end != nullptr) wait.end();
  const int kept = sampling.count;
  std::sort(samples, samples + kept);
  figures->measured = true;
  figures->setting = setting.what;
  figures->setting_ns = setting.ns;
  figures->waits = static_cast<int>(std::min<int64_t>(sampling.seen, int64_t{1} << 30));
  figures->median_ns = static_cast<int64_t>(samples[(kept - 1) / 2]);
  figures->p99_ns = static_cast<int64_t>(samples[(kept * 99 + 99) / 100 - 1]);  // the nearest rank
}
