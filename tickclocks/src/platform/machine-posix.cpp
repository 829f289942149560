// The Linux clocks: every clock_gettime clock, gettimeofday, time and the processor's
// time-stamp counter; nanosleep, with the timer slack as it is and at 1 ns.
#include "platform_machine.h"

#include <pthread.h>
#include <sched.h>
#include <sys/prctl.h>
#include <sys/time.h>
#include <time.h>

#include <ctime>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#include <x86intrin.h>
#define TICKCLOCKS_HAS_TSC 1
#endif

namespace {

int64_t timespec_ns(const timespec& time) {
  return static_cast<int64_t>(time.tv_sec) * 1000000000 + time.tv_nsec;
}

template <clockid_t id>
int64_t read_clock() {
  timespec now;
  clock_gettime(id, &now);
  return timespec_ns(now);
}

int64_t read_time_of_day() {
  timeval now;
  gettimeofday(&now, nullptr);
  return static_cast<int64_t>(now.tv_sec) * 1000000 + now.tv_usec;
}

int64_t read_time() { return static_cast<int64_t>(std::time(nullptr)); }

struct ClockId {
  const char* name;
  clockid_t id;
  ClockKind kind;
  int64_t (*read)();
};

const ClockId kClockIds[] = {
    {"CLOCK_REALTIME", CLOCK_REALTIME, kTimeOfDay, read_clock<CLOCK_REALTIME>},
    {"CLOCK_REALTIME_COARSE", CLOCK_REALTIME_COARSE, kTimeOfDay, read_clock<CLOCK_REALTIME_COARSE>},
    {"CLOCK_TAI", CLOCK_TAI, kTimeOfDay, read_clock<CLOCK_TAI>},
    {"CLOCK_MONOTONIC", CLOCK_MONOTONIC, kInterval, read_clock<CLOCK_MONOTONIC>},
    {"CLOCK_MONOTONIC_COARSE", CLOCK_MONOTONIC_COARSE, kInterval,
     read_clock<CLOCK_MONOTONIC_COARSE>},
    {"CLOCK_MONOTONIC_RAW", CLOCK_MONOTONIC_RAW, kInterval, read_clock<CLOCK_MONOTONIC_RAW>},
    {"CLOCK_BOOTTIME", CLOCK_BOOTTIME, kInterval, read_clock<CLOCK_BOOTTIME>},
    {"CLOCK_PROCESS_CPUTIME_ID", CLOCK_PROCESS_CPUTIME_ID, kCpuTime,
     read_clock<CLOCK_PROCESS_CPUTIME_ID>},
    {"CLOCK_THREAD_CPUTIME_ID", CLOCK_THREAD_CPUTIME_ID, kCpuTime,
     read_clock<CLOCK_THREAD_CPUTIME_ID>},
};

#ifdef TICKCLOCKS_HAS_TSC
// lfence first, as the kernel's own clocks do: rdtsc alone may run before the loads
// ahead of it, and a reading taken after another thread's could then look earlier.
int64_t read_counter() {
  _mm_lfence();
  return static_cast<int64_t>(__rdtsc());
}

Clock counter_clock() {
  unsigned a = 0, b = 0, c = 0, d = 0;
  const bool invariant = __get_cpuid(0x80000007, &a, &b, &c, &d) != 0 && (d & (1u << 8)) != 0;
  return Clock{.name = "rdtsc",
               .kind = kCounter,
               .present = true,
               .read = read_counter,
               .remark = invariant ? "CPUID calls the time-stamp counter invariant"
                                   : "CPUID does not call the time-stamp counter invariant, so "
                                     "its rate may change with the processor's"};
}
#else
Clock counter_clock() { return Clock{.name = "rdtsc", .kind = kCounter}; }
#endif

void sleep_1ms() {
  const timespec wait = {0, 1000000};
  nanosleep(&wait, nullptr);
}

int saved_slack;

bool finest_slack() {
  saved_slack = prctl(PR_GET_TIMERSLACK, 0, 0, 0, 0);
  return saved_slack >= 0 && prctl(PR_SET_TIMERSLACK, 1, 0, 0, 0) == 0;
}

void restore_slack() { prctl(PR_SET_TIMERSLACK, saved_slack, 0, 0, 0); }

// The threads started and not yet joined: at most two run at a time.
struct Started {
  pthread_t thread;
  void (*body)(void*);
  void* argument;
  bool used;
};
Started started[4];

void* run_started(void* slot) {
  Started* start = static_cast<Started*>(slot);
  start->body(start->argument);
  return nullptr;
}

// Pins to the processor-th of those this process may run on.
void pin(pthread_attr_t* attributes, int processor) {
  cpu_set_t allowed, one;
  if (sched_getaffinity(0, sizeof allowed, &allowed) != 0) return;
  CPU_ZERO(&one);
  for (int cpu = 0, seen = 0; cpu < CPU_SETSIZE; cpu++) {
    if (!CPU_ISSET(cpu, &allowed) || seen++ != processor) continue;
    CPU_SET(cpu, &one);
    pthread_attr_setaffinity_np(attributes, sizeof one, &one);
    return;
  }
}

}  // namespace

const char kReferenceName[] = "CLOCK_MONOTONIC_RAW";

void find_platform_calls() {}

int list_clocks(Clock* clocks, int capacity) {
  int count = 0;
  for (const ClockId& known : kClockIds) {
    timespec resolution;
    const bool present = clock_getres(known.id, &resolution) == 0;
    if (count == capacity) break;
    clocks[count++] = Clock{.name = known.name,
                            .kind = known.kind,
                            .present = present,
                            .read = present ? known.read : nullptr,
                            .ticks_per_second = 1000000000,
                            .stated_ns = present ? static_cast<double>(timespec_ns(resolution)) : 0,
                            .stated_by = "clock_getres",
                            .per_thread = known.id == CLOCK_THREAD_CPUTIME_ID};
  }
  const Clock others[] = {Clock{.name = "gettimeofday",
                                .kind = kTimeOfDay,
                                .present = true,
                                .read = read_time_of_day,
                                .ticks_per_second = 1000000},
                          Clock{.name = "time",
                                .kind = kTimeOfDay,
                                .present = true,
                                .read = read_time,
                                .ticks_per_second = 1},
                          counter_clock()};
  for (const Clock& other : others) {
    if (count < capacity) clocks[count++] = other;
  }
  return count;
}

int list_waits(Wait* waits, int capacity) {
  const Wait known[] = {{.name = "nanosleep 1 ms", .present = true, .wait = sleep_1ms},
                        {.name = "nanosleep 1 ms, slack 1 ns",
                         .present = true,
                         .begin = finest_slack,
                         .wait = sleep_1ms,
                         .end = restore_slack}};
  int count = 0;
  for (const Wait& wait : known) {
    if (count < capacity) waits[count++] = wait;
  }
  return count;
}

WaitSetting wait_setting() {
  const int slack = prctl(PR_GET_TIMERSLACK, 0, 0, 0, 0);
  if (slack < 0) return WaitSetting{.what = nullptr, .ns = 0};
  return WaitSetting{.what = "slack", .ns = slack};
}

int64_t reference_ns() { return read_clock<CLOCK_MONOTONIC_RAW>(); }

int processors() {
  cpu_set_t set;
  if (sched_getaffinity(0, sizeof set, &set) != 0) return 1;
  return CPU_COUNT(&set);
}

void* start_thread(void (*body)(void*), void* argument, int processor) {
  for (Started& slot : started) {
    if (slot.used) continue;
    slot = Started{pthread_t{}, body, argument, true};
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pin(&attributes, processor);
    const bool running = pthread_create(&slot.thread, &attributes, run_started, &slot) == 0;
    pthread_attr_destroy(&attributes);
    slot.used = running;
    return running ? &slot : nullptr;
  }
  return nullptr;
}

void join_thread(void* thread) {
  Started* slot = static_cast<Started*>(thread);
  pthread_join(slot->thread, nullptr);
  slot->used = false;
}
