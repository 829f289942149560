// All that tickclocks asks of the machine: its clocks, its waits, threads, the
// reference clock and the CSV's file. One seam, filled by the platform file with the
// real functions and by the tests with a scripted world.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "clock_settings.h"
#include "output_files.h"

// What a clock tells, which decides the answer it can be.
enum ClockKind { kTimeOfDay, kInterval, kCpuTime, kCounter };

// One clock of the machine, as the platform lists it; what a platform leaves out is
// not known or not so.
struct Clock {
  const char* name = nullptr;       // as a program calls it: "QueryPerformanceCounter"
  ClockKind kind = kInterval;       // what it counts
  bool present = false;             // false where this system lacks it: its row says so
  int64_t (*read)() = nullptr;      // its value now, in ticks; null where it is not present
  int64_t ticks_per_second = 0;     // 0 where the system does not say: found against the reference
  int wrap_bits = 0;                // 32 for a count that wraps at 2^32 (GetTickCount), else 0
  double stated_ns = 0;             // the resolution the system states, 0 where nothing states one
  const char* stated_by = nullptr;  // what states it: "clock_getres", "NtQueryTimerResolution"
  bool follows_timer = false;       // the stated resolution is the timer interval of the moment
  bool per_thread = false;       // each thread has its own (thread CPU time): not compared across
  const char* remark = nullptr;  // a fact the system gives about it, or null
};

// One kind of 1 ms wait, as the platform lists it.
struct Wait {
  const char* name = nullptr;  // "Sleep(1)", "nanosleep 1 ms, slack 1 ns"
  bool present = false;        // false where this system lacks it: its row says so
  bool (*begin)() = nullptr;   // sets up what the waits need (a finer timer); false if refused
  void (*wait)() = nullptr;    // one wait of 1 ms
  void (*end)() = nullptr;     // gives back what begin took, the finer timer above all
};

// A setting that decides how long a wait takes: the timer interval, the timer slack.
struct WaitSetting {
  const char* what;  // "timer", "slack"; null where the system tells none
  int64_t ns;
};

constexpr int kMostClocks = 16;
constexpr int kMostWaits = 4;

// What tickclocks asks of the machine.
struct Machine {
  // Fills clocks with every clock the platform knows, present or not; returns how many.
  int (*list_clocks)(Clock* clocks, int capacity);
  // Fills waits with every kind of wait the platform knows; returns how many.
  int (*list_waits)(Wait* waits, int capacity);
  // The finest monotonic clock, in ns: what every read and wait is timed against.
  int64_t (*reference_ns)();
  const char* reference_name;
  // How many processors this process may run on.
  int (*processors)();
  // Starts body(argument) on a thread of its own pinned to processor; null when it cannot.
  void* (*start_thread)(void (*body)(void*), void* argument, int processor);
  // Waits for a started thread to end, and lets it go.
  void (*join_thread)(void* thread);
  // The setting that decides a wait's length now.
  WaitSetting (*wait_setting)();
  // The clock settings now (timer interval, time synchronisation).
  void (*read_settings)(ClockSettings* settings);
  // Whether the user asked to end (Ctrl+C, a signal, a closing console).
  bool (*should_stop)();
  // Whether the terminal or console has gone, so that output to it could not be written.
  bool (*console_closed)();
  // Opens path for writing without emptying it, creating it where there is none
  // (*created says so); null, with errno set, when it cannot.
  FILE* (*open_output)(const char* path, bool* created);
  // What a stream is on disk.
  FileIdentity (*identify)(FILE* stream);
  // Whether two identities are one file on disk; later was taken after earlier.
  bool (*same_file)(const FileIdentity& later, const FileIdentity& earlier);
  // Creates a new file beside path for a whole new version of it, its path in beside.
  FILE* (*open_beside)(const char* path, char* beside, size_t size);
  // Puts the file at from in the place of the file at to; false, with errno set, when not.
  bool (*replace_file)(const char* from, const char* to);
  // Removes a file that tickclocks made; false, with errno set, when it cannot.
  bool (*remove_file)(const char* path);
};

// The machine tickclocks runs on, from the platform file; should_stop is left to main.
Machine real_machine();
