#include "fake_platform.h"

#include <cstdio>
#include <cstring>

namespace fake {

State& state() {
  static State the_state;
  return the_state;
}

void reset() { state() = State(); }

SYSTEMTIME at(WORD hour, WORD minute, WORD second, WORD milliseconds) {
  return SYSTEMTIME{2026, 12, 1, 7, hour, minute, second, milliseconds};
}

}  // namespace fake

using fake::state;

void GetSystemTimeAsFileTime(FILETIME* time) {
  if (state().file_time_reads == state().file_times.size()) throw fake::ScriptEnded();
  *time = make_file_time(state().file_times[state().file_time_reads++]);
}

void GetSystemTime(SYSTEMTIME* time) {
  if (state().system_time_reads == state().system_times.size()) throw fake::ScriptEnded();
  *time = state().system_times[state().system_time_reads++];
}

// Not a calendar: a plain positional count that ignores the day of the week,
// which is all the monitor needs to compute differences within a day.
BOOL SystemTimeToFileTime(const SYSTEMTIME* t, FILETIME* file_time) {
  state().conversions++;
  const uint64_t days = (t->wYear * 12ULL + t->wMonth) * 31 + t->wDay;
  const uint64_t ms =
      (((days * 24 + t->wHour) * 60 + t->wMinute) * 60 + t->wSecond) * 1000 + t->wMilliseconds;
  *file_time = make_file_time(ms * 10000);
  return 1;
}

BOOL QueryPerformanceFrequency(LARGE_INTEGER* frequency) {
  frequency->QuadPart = state().frequency;
  return state().frequency != 0;
}

BOOL QueryPerformanceCounter(LARGE_INTEGER* count) {
  const size_t read = state().counter_reads++;
  count->QuadPart = read < state().counts.size() ? state().counts[read] : 0;
  return 1;
}

namespace {
UINT WINAPI fake_wow64_directory(LPWSTR, UINT size) {
  state().wow64_calls++;
  state().wow64_buffer_size = size;
  return state().emulation.directory_result;
}
int kernel32_module;
}  // namespace

HMODULE GetModuleHandleA(const char* name) {
  state().module_lookups++;
  const bool found = state().emulation.has_kernel32 && std::strcmp(name, "kernel32.dll") == 0;
  return found ? &kernel32_module : nullptr;
}

// The platform's own signature, so the module handle cannot be made const.
// cppcheck-suppress constParameter
FARPROC GetProcAddress(HMODULE module, const char* name) {
  state().function_lookups++;
  if (module != &kernel32_module || !state().emulation.has_wow64_call) return nullptr;
  if (std::strcmp(name, "GetSystemWow64DirectoryW") != 0) return nullptr;
  return reinterpret_cast<FARPROC>(reinterpret_cast<void*>(&fake_wow64_directory));
}

DWORD GetLastError() { return state().emulation.last_error; }

void prepare_standard_output() {}

bool write_standard_output_line(const char* line, size_t length) {
  return fwrite(line, 1, length, stdout) == length && fflush(stdout) == 0;
}
