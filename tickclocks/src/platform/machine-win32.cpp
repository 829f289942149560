// The Windows clocks, each found at run time (a system without one gets a row that says
// so), winmm.dll's loaded by name; Sleep(1), with the timer as it is, while asking for
// the finest, and a high-resolution waitable timer.
#include "platform_machine.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cpuid.h>
#include <x86intrin.h>

#ifndef CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
#define CREATE_WAITABLE_TIMER_HIGH_RESOLUTION 0x00000002
#endif

namespace {

typedef VOID(WINAPI* FileTimeCall)(LPFILETIME);
typedef VOID(WINAPI* SystemTimeCall)(LPSYSTEMTIME);
typedef BOOL(WINAPI* CounterCall)(LARGE_INTEGER*);
typedef DWORD(WINAPI* TickCountCall)();
typedef ULONGLONG(WINAPI* TickCount64Call)();
typedef BOOL(WINAPI* UnbiasedCall)(PULONGLONG);
typedef VOID(WINAPI* InterruptCall)(PULONGLONG);
typedef UINT(WINAPI* PeriodCall)(UINT);
typedef LONG(WINAPI* QueryResolutionCall)(PULONG coarsest, PULONG finest, PULONG current);
typedef LONG(WINAPI* SetResolutionCall)(ULONG interval, BOOLEAN ask, PULONG actual);

FileTimeCall file_time, precise_file_time;
SystemTimeCall system_time;
CounterCall counter;
TickCountCall tick_count, time_get_time;
TickCount64Call tick_count64;
UnbiasedCall unbiased_interrupt_time;
InterruptCall interrupt_time, interrupt_time_precise, unbiased_interrupt_time_precise;
PeriodCall time_begin_period, time_end_period;
QueryResolutionCall query_timer_resolution;
SetResolutionCall set_timer_resolution;
LARGE_INTEGER counter_frequency;

// A function of the module, by name; null where this Windows lacks it.
template <typename Call>
Call find(HMODULE module, const char* name) {
  FARPROC entry = module != nullptr ? GetProcAddress(module, name) : nullptr;
  return reinterpret_cast<Call>(reinterpret_cast<void*>(entry));
}

// kernel32 forwards most of its clocks to kernelbase; the interrupt-time ones are only there.
template <typename Call>
Call find_kernel(const char* name) {
  Call call = find<Call>(GetModuleHandleA("kernel32.dll"), name);
  return call != nullptr ? call : find<Call>(GetModuleHandleA("kernelbase.dll"), name);
}

void find_calls() {
  file_time = find_kernel<FileTimeCall>("GetSystemTimeAsFileTime");
  system_time = find_kernel<SystemTimeCall>("GetSystemTime");
  precise_file_time = find_kernel<FileTimeCall>("GetSystemTimePreciseAsFileTime");
  counter = find_kernel<CounterCall>("QueryPerformanceCounter");
  tick_count = find_kernel<TickCountCall>("GetTickCount");
  tick_count64 = find_kernel<TickCount64Call>("GetTickCount64");
  unbiased_interrupt_time = find_kernel<UnbiasedCall>("QueryUnbiasedInterruptTime");
  interrupt_time = find_kernel<InterruptCall>("QueryInterruptTime");
  interrupt_time_precise = find_kernel<InterruptCall>("QueryInterruptTimePrecise");
  unbiased_interrupt_time_precise = find_kernel<InterruptCall>("QueryUnbiasedInterruptTimePrecise");
  // Loaded by name, so that the program imports nothing but KERNEL32 and msvcrt.
  const HMODULE winmm = LoadLibraryA("winmm.dll");
  time_get_time = find<TickCountCall>(winmm, "timeGetTime");
  time_begin_period = find<PeriodCall>(winmm, "timeBeginPeriod");
  time_end_period = find<PeriodCall>(winmm, "timeEndPeriod");
  const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  query_timer_resolution = find<QueryResolutionCall>(ntdll, "NtQueryTimerResolution");
  set_timer_resolution = find<SetResolutionCall>(ntdll, "NtSetTimerResolution");
  if (!QueryPerformanceFrequency(&counter_frequency)) counter_frequency.QuadPart = 0;
}

int64_t file_time_units(const FILETIME& time) {
  return static_cast<int64_t>(static_cast<uint64_t>(time.dwHighDateTime) << 32 |
                              time.dwLowDateTime);
}

// Days from 1970-01-01 to a date of the Gregorian calendar.
int64_t days_from_civil(int64_t year, unsigned month, unsigned day) {
  year -= month <= 2 ? 1 : 0;
  const int64_t era = (year >= 0 ? year : year - 399) / 400;
  const unsigned year_of_era = static_cast<unsigned>(year - era * 400);
  const unsigned day_of_year = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
  const unsigned day_of_era = year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
  return era * 146097 + static_cast<int64_t>(day_of_era) - 719468;
}

int64_t read_file_time() {
  FILETIME now;
  file_time(&now);
  return file_time_units(now);
}

// In milliseconds since 1970, by arithmetic rather than SystemTimeToFileTime, whose own
// cost would count as the clock's.
int64_t read_system_time() {
  SYSTEMTIME now;
  system_time(&now);
  const int64_t days = days_from_civil(now.wYear, now.wMonth, now.wDay);
  return ((days * 24 + now.wHour) * 60 + now.wMinute) * 60000 + now.wSecond * 1000 +
         now.wMilliseconds;
}

int64_t read_precise_file_time() {
  FILETIME now;
  precise_file_time(&now);
  return file_time_units(now);
}

int64_t read_counter() {
  LARGE_INTEGER now;
  counter(&now);
  return now.QuadPart;
}

int64_t read_tick_count() { return tick_count(); }
int64_t read_tick_count64() { return static_cast<int64_t>(tick_count64()); }
int64_t read_time_get_time() { return time_get_time(); }

int64_t read_unbiased_interrupt_time() {
  ULONGLONG now = 0;
  unbiased_interrupt_time(&now);
  return static_cast<int64_t>(now);
}

int64_t read_interrupt_time() {
  ULONGLONG now = 0;
  interrupt_time(&now);
  return static_cast<int64_t>(now);
}

int64_t read_interrupt_time_precise() {
  ULONGLONG now = 0;
  interrupt_time_precise(&now);
  return static_cast<int64_t>(now);
}

int64_t read_unbiased_interrupt_time_precise() {
  ULONGLONG now = 0;
  unbiased_interrupt_time_precise(&now);
  return static_cast<int64_t>(now);
}

// lfence first: rdtsc alone may run before the loads ahead of it, and a reading taken
// after another thread's could then look earlier.
int64_t read_tsc() {
  _mm_lfence();
  return static_cast<int64_t>(__rdtsc());
}

// A clock found at run time: present where its function is.
Clock found(const char* name, ClockKind kind, bool present, int64_t (*read)(),
            int64_t ticks_per_second, bool follows_timer) {
  return Clock{.name = name,
               .kind = kind,
               .present = present,
               .read = present ? read : nullptr,
               .ticks_per_second = ticks_per_second,
               .stated_by = follows_timer ? "NtQueryTimerResolution" : nullptr,
               .follows_timer = follows_timer};
}

Clock counter_clock() {
  Clock clock = found("QueryPerformanceCounter", kInterval,
                      counter != nullptr && counter_frequency.QuadPart > 0, read_counter,
                      counter_frequency.QuadPart, false);
  if (clock.present) {
    clock.stated_ns = 1e9 / static_cast<double>(counter_frequency.QuadPart);
    clock.stated_by = "QueryPerformanceFrequency";
  }
  return clock;
}

Clock tsc_clock() {
  unsigned a = 0, b = 0, c = 0, d = 0;
  const bool invariant = __get_cpuid(0x80000007, &a, &b, &c, &d) != 0 && (d & (1u << 8)) != 0;
  Clock clock = found("rdtsc", kCounter, true, read_tsc, 0, false);
  clock.remark = invariant ? "CPUID calls the time-stamp counter invariant"
                           : "CPUID does not call the time-stamp counter invariant, so its rate "
                             "may change with the processor's";
  return clock;
}

void sleep_1ms() { Sleep(1); }

ULONG asked_interval;  // what NtSetTimerResolution was asked for, 0 where timeBeginPeriod was
bool asked_by_period;

// The finest interval the system allows, by NtSetTimerResolution; else timeBeginPeriod(1).
bool ask_finest_timer() {
  ULONG coarsest = 0, finest = 0, current = 0, actual = 0;
  if (query_timer_resolution != nullptr && set_timer_resolution != nullptr &&
      query_timer_resolution(&coarsest, &finest, &current) >= 0 && finest > 0 &&
      set_timer_resolution(finest, TRUE, &actual) >= 0) {
    asked_interval = finest;
    return true;
  }
  asked_by_period = time_begin_period != nullptr && time_begin_period(1) == 0;
  return asked_by_period;
}

void release_timer() {
  ULONG actual = 0;
  if (asked_interval != 0) set_timer_resolution(asked_interval, FALSE, &actual);
  if (asked_by_period) time_end_period(1);
  asked_interval = 0;
  asked_by_period = false;
}

HANDLE high_resolution_timer;

void wait_high_resolution() {
  LARGE_INTEGER due;
  due.QuadPart = -10000;  // 1 ms from now, in 100-ns units
  if (SetWaitableTimer(high_resolution_timer, &due, 0, nullptr, nullptr, FALSE)) {
    WaitForSingleObject(high_resolution_timer, INFINITE);
  }
}

void close_high_resolution() {
  CloseHandle(high_resolution_timer);
  high_resolution_timer = nullptr;
}

// The processors this process may run on, as a mask, and how many.
DWORD_PTR allowed_processors() {
  DWORD_PTR process = 0, system = 0;
  if (!GetProcessAffinityMask(GetCurrentProcess(), &process, &system) || process == 0) return 1;
  return process;
}

struct Started {
  void (*body)(void*);
  void* argument;
  HANDLE thread;
};
Started started[4];

DWORD WINAPI run_started(LPVOID slot) {
  Started* start = static_cast<Started*>(slot);
  start->body(start->argument);
  return 0;
}

// The processor-th of those this process may run on.
DWORD_PTR processor_mask(int processor) {
  int seen = 0;
  for (DWORD_PTR mask = allowed_processors(); mask != 0; mask &= mask - 1) {
    if (seen++ == processor) return mask & (~mask + 1);
  }
  return 0;
}

}  // namespace

const char kReferenceName[] = "QueryPerformanceCounter";

void find_platform_calls() { find_calls(); }

int list_clocks(Clock* clocks, int capacity) {
  Clock known[] = {
      found("GetSystemTimeAsFileTime", kTimeOfDay, file_time != nullptr, read_file_time, 10000000,
            true),
      found("GetSystemTime", kTimeOfDay, system_time != nullptr, read_system_time, 1000, true),
      found("GetSystemTimePreciseAsFileTime", kTimeOfDay, precise_file_time != nullptr,
            read_precise_file_time, 10000000, false),
      counter_clock(),
      found("GetTickCount", kInterval, tick_count != nullptr, read_tick_count, 1000, false),
      found("GetTickCount64", kInterval, tick_count64 != nullptr, read_tick_count64, 1000, false),
      found("timeGetTime", kInterval, time_get_time != nullptr, read_time_get_time, 1000, true),
      found("QueryUnbiasedInterruptTime", kInterval, unbiased_interrupt_time != nullptr,
            read_unbiased_interrupt_time, 10000000, true),
      found("QueryInterruptTime", kInterval, interrupt_time != nullptr, read_interrupt_time,
            10000000, true),
      found("QueryInterruptTimePrecise", kInterval, interrupt_time_precise != nullptr,
            read_interrupt_time_precise, 10000000, false),
      found("QueryUnbiasedInterruptTimePrecise", kInterval,
            unbiased_interrupt_time_precise != nullptr, read_unbiased_interrupt_time_precise,
            10000000, false),
      tsc_clock()};
  known[4].wrap_bits = 32;  // GetTickCount
  known[6].wrap_bits = 32;  // timeGetTime
  int count = 0;
  for (const Clock& clock : known) {
    if (count < capacity) clocks[count++] = clock;
  }
  return count;
}

int list_waits(Wait* waits, int capacity) {
  // Windows before 10 1803 refuses the flag: there the timer is not in the system.
  high_resolution_timer = CreateWaitableTimerExW(
      nullptr, nullptr, CREATE_WAITABLE_TIMER_HIGH_RESOLUTION, TIMER_ALL_ACCESS);
  const Wait known[] = {{.name = "Sleep(1)", .present = true, .wait = sleep_1ms},
                        {.name = "Sleep(1), finest timer asked",
                         .present = time_begin_period != nullptr || set_timer_resolution != nullptr,
                         .begin = ask_finest_timer,
                         .wait = sleep_1ms,
                         .end = release_timer},
                        {.name = "high-resolution waitable timer",
                         .present = high_resolution_timer != nullptr,
                         .wait = wait_high_resolution,
                         .end = close_high_resolution}};
  int count = 0;
  for (const Wait& wait : known) {
    if (count < capacity) waits[count++] = wait;
  }
  return count;
}

WaitSetting wait_setting() {
  ClockSettings settings{};
  read_clock_settings_now(&settings);
  if (!settings.has_timer) return WaitSetting{.what = nullptr, .ns = 0};
  return WaitSetting{.what = "timer", .ns = settings.timer * 100};
}

int64_t reference_ns() {
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  const int64_t frequency = counter_frequency.QuadPart;
  const int64_t seconds = now.QuadPart / frequency;
  const int64_t rest = now.QuadPart % frequency;
  return seconds * 1000000000 +
         static_cast<int64_t>(static_cast<double>(rest) * 1e9 / static_cast<double>(frequency));
}

int processors() {
  int count = 0;
  for (DWORD_PTR mask = allowed_processors(); mask != 0; mask &= mask - 1) count++;
  return count;
}

// CreateThread, not the C++ runtime's threads, which would bring winpthread's DLL along.
void* start_thread(void (*body)(void*), void* argument, int processor) {
  for (Started& slot : started) {
    if (slot.thread != nullptr) continue;
    slot.body = body;
    slot.argument = argument;
    slot.thread = CreateThread(nullptr, 0, run_started, &slot, CREATE_SUSPENDED, nullptr);
    if (slot.thread == nullptr) return nullptr;
    const DWORD_PTR mask = processor_mask(processor);
    if (mask != 0) SetThreadAffinityMask(slot.thread, mask);
    ResumeThread(slot.thread);
    return &slot;
  }
  return nullptr;
}

void join_thread(void* thread) {
  Started* slot = static_cast<Started*>(thread);
  WaitForSingleObject(slot->thread, INFINITE);
  CloseHandle(slot->thread);
  slot->thread = nullptr;
}
