#include "clock_settings.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace {

// NtQueryTimerResolution(coarsest, finest, current): ntdll's own names call the
// coarsest interval the minimum resolution.
typedef LONG(WINAPI* TimerResolutionCall)(ULONG* coarsest, ULONG* finest, ULONG* current);

// Looked up by name, never imported: a system without it leaves the intervals out.
TimerResolutionCall find_timer_resolution_call() {
  HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  if (ntdll == nullptr) return nullptr;
  FARPROC entry = GetProcAddress(ntdll, "NtQueryTimerResolution");
  return reinterpret_cast<TimerResolutionCall>(reinterpret_cast<void*>(entry));
}

void read_timer(ClockSettings* settings) {
  const TimerResolutionCall query = find_timer_resolution_call();
  ULONG coarsest = 0, finest = 0, current = 0;
  if (query == nullptr || query(&coarsest, &finest, &current) < 0 || current == 0) return;
  settings->has_timer = true;
  settings->timer = current;
  settings->finest = finest;
  settings->coarsest = coarsest;
}

// The clock gains adjustment units every increment units; with adjustment disabled,
// Windows keeps its own rate and nothing adjusts it.
void read_adjustment(ClockSettings* settings) {
  DWORD adjustment = 0, increment = 0;
  BOOL disabled = TRUE;
  if (!GetSystemTimeAdjustment(&adjustment, &increment, &disabled) || increment == 0) return;
  settings->has_adjustment = true;
  settings->adjusting = !disabled;
  if (!disabled) {
    const int64_t gained = static_cast<int64_t>(adjustment) - static_cast<int64_t>(increment);
    settings->adjustment_ppb = gained * 1000000000 / static_cast<int64_t>(increment);
  }
}

}  // namespace

void read_clock_settings_now(ClockSettings* settings) {
  *settings = ClockSettings{};
  read_timer(settings);
  read_adjustment(settings);
}
