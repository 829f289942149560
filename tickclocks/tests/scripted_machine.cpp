#include "scripted_machine.h"

#include <algorithm>

namespace {

const int64_t kStartNs = 1000000000000;  // the world's time when a run starts
const int64_t kDefaultTimer = 156250;    // in 100-ns units

ScriptedClock scripted[kMostClocks];
int scripted_count;
int64_t world_ns;
int64_t stop_ns;
int64_t timer = kDefaultTimer;
bool timer_held;
int current_processor = -1;  // the processor the scripted thread runs on, -1 for the main one
int64_t next_pause_ns;       // the time of the run at which a paused clock's read pauses next
int64_t paused_at_ns;        // and at which it paused last

int64_t read_scripted(int i) {
  const ScriptedClock& clock = scripted[i];
  world_ns += clock.cost_ns;
  int64_t at = world_ns - kStartNs;
  if (clock.stop_at_ns != 0) at = std::min(at, clock.stop_at_ns);
  if (at < paused_at_ns + clock.pause_ns + clock.stale_ns) at = std::min(at, paused_at_ns);
  int64_t steps = at / clock.step_ns;
  if (clock.late_every != 0 && steps % clock.late_every == 1) steps--;
  int64_t value = kStartNs + steps * clock.step_ns;
  if (clock.back_at_ns != 0 && world_ns - kStartNs >= clock.back_at_ns) value -= clock.back_by_ns;
  if (current_processor == 1) value -= clock.processor1_lag_ns;
  // After the value is read, before whatever the poller reads next.
  if (clock.pause_ns != 0 && world_ns - kStartNs >= next_pause_ns) {
    paused_at_ns = world_ns - kStartNs;
    world_ns += clock.pause_ns;
    next_pause_ns =
        (world_ns - kStartNs) / clock.pause_every_ns * clock.pause_every_ns + clock.pause_every_ns;
  }
  return value;
}

template <int i>
int64_t read_clock() {
  return read_scripted(i);
}

int64_t (*const kReads[kMostClocks])() = {
    read_clock<0>,  read_clock<1>,  read_clock<2>,  read_clock<3>, read_clock<4>,  read_clock<5>,
    read_clock<6>,  read_clock<7>,  read_clock<8>,  read_clock<9>, read_clock<10>, read_clock<11>,
    read_clock<12>, read_clock<13>, read_clock<14>, read_clock<15>};

int list_clocks(Clock* clocks, int capacity) {
  const int count = std::min(scripted_count, capacity);
  for (int i = 0; i < count; i++) {
    const ScriptedClock& clock = scripted[i];
    clocks[i] = Clock{clock.name,
                      clock.kind,
                      clock.present,
                      kReads[i],
                      1000000000,
                      0,
                      clock.stated_ns,
                      clock.follows_timer ? "the timer" : "the script",
                      clock.follows_timer,
                      false,
                      nullptr};
  }
  return count;
}

void sleep_1ms() { world_ns += timer_held ? 1000000 + 50000 : timer * 100; }
bool ask_finest_timer() {
  timer_held = true;
  timer = 10000;
  return true;
}
void release_timer() {
  timer_held = false;
  timer = kDefaultTimer;
}

int list_waits(Wait* waits, int capacity) {
  const Wait known[] = {
      {"Sleep(1)", true, nullptr, sleep_1ms, nullptr},
      {"Sleep(1), finest timer asked", true, ask_finest_timer, sleep_1ms, release_timer},
      {"high-resolution timer", false, nullptr, nullptr, nullptr}};
  const int count = std::min(3, capacity);
  std::copy(known, known + count, waits);
  return count;
}

int64_t reference_ns() { return world_ns; }
int processors() { return 2; }

// Runs the thread's body at once, to its end: the threads of a direction take turns,
// the publisher first, which makes every count exact.
void* start_thread(void (*body)(void*), void* argument, int processor) {
  current_processor = processor;
  body(argument);
  current_processor = -1;
  return &current_processor;
}

void join_thread(void*) {}

WaitSetting wait_setting() { return WaitSetting{"timer", timer * 100}; }

void read_settings(ClockSettings* settings) {
  *settings = ClockSettings{};
  settings->has_timer = true;
  settings->timer = timer;
  settings->finest = 5000;
  settings->coarsest = kDefaultTimer;
}

bool should_stop() { return stop_ns != 0 && world_ns - kStartNs >= stop_ns; }

}  // namespace

void script_machine(const ScriptedClock* clocks, int count, int64_t stop_at_ns) {
  scripted_count = std::min(count, kMostClocks);
  std::copy(clocks, clocks + scripted_count, scripted);
  world_ns = kStartNs;
  next_pause_ns = 0;
  paused_at_ns = -kStartNs;
  stop_ns = stop_at_ns;
  timer = kDefaultTimer;
  timer_held = false;
}

Machine scripted_machine() {
  Machine machine = real_machine();  // its output files and nothing else
  machine.list_clocks = list_clocks;
  machine.list_waits = list_waits;
  machine.reference_ns = reference_ns;
  machine.reference_name = "the scripted reference";
  machine.processors = processors;
  machine.start_thread = start_thread;
  machine.join_thread = join_thread;
  machine.wait_setting = wait_setting;
  machine.read_settings = read_settings;
  machine.should_stop = should_stop;
  machine.console_closed = [] { return false; };
  return machine;
}

bool scripted_timer_held() { return timer_held; }
