// The measuring loops. They allocate nothing and take no lock: what the threads
// share goes through one atomic.
#pragma once

#include <cstdint>

#include "figures.h"
#include "machine.h"

// How long each part of a clock's measurement may take, as reference times in ns.
struct ClockPlan {
  int64_t read_cost_ns;  // timing batches of reads
  int64_t polling_ns;    // polling for steps
  int64_t patience_ns;   // polling on, for a clock not yet seen to take a whole step
  int64_t across_ns;     // two threads comparing readings, for each direction
};

// A clock's step from one value to the next, in ticks, wrapping as the clock wraps.
int64_t clock_step(const Clock& clock, int64_t from, int64_t to);

// The median cost of one read, timed in batches against the reference.
double measure_read_cost(const Clock& clock, const Machine& machine, int64_t for_ns);

// Polls the clock as tickgauge polls, reading back to back until the value changes,
// and fills in the steps, the typical and smallest, the steps back, the first change and
// the last. A clock that changes rarely is read with the reference after each read: a
// change that cannot be pinned to one window short against its step came across a pause
// of the poller, which may hide several steps in one, and is no step.
void poll_steps(const Clock& clock, const Machine& machine, const ClockPlan& plan,
                ClockFigures* figures);

// Two threads on two processors, one publishing its readings and one reading after it,
// then the other way round: fills in the readings that went back across them.
void compare_across_threads(const Clock& clock, const Machine& machine, int64_t for_ns,
                            ClockFigures* figures);

// Adds a reading of the clock between two of the reference to its marks, after its first
// change: where its rate ends, and where a jump shows.
void mark_clock(const Clock& clock, const Machine& machine, ClockFigures* figures);

// From the marks: whether the clock stopped, the ticks per second found between the first
// change and the last mark where the system states none, else the clock's rate against
// the reference over that span, or the jump that leaves it none.
void settle_rate(const Clock& clock, ClockFigures* figures);

// Measures every wait of one kind for for_ns, and the setting while it waits.
void measure_wait(const Wait& wait, const Machine& machine, int64_t for_ns, WaitFigures* figures);
