// Stand-in for readout/ (units.h, clock_settings.h, console.h) until it lands on
// main; deleted then. Only what tickclocks uses, header-only.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstring>

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <io.h>
#include <windows.h>
#else
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/timex.h>
#include <unistd.h>
#endif

constexpr int64_t kUnitsPerSecond = 10000000;  // 100-ns units

// "" for 1, else "s".
inline const char* plural(uint64_t count) { return count == 1 ? "" : "s"; }

// ppb as ppm, "-6.400".
inline const char* format_ppm(int64_t ppb, char (&text)[32]) {
  const int64_t magnitude = ppb < 0 ? -ppb : ppb;
  std::snprintf(text, sizeof text, "%s%lld.%03lld", ppb < 0 ? "-" : "",
                static_cast<long long>(magnitude / 1000), static_cast<long long>(magnitude % 1000));
  return text;
}

struct ClockSettings {
  bool has_timer;
  int64_t timer, finest, coarsest;
  bool has_adjustment;
  bool adjusting;
  int64_t adjustment_ppb;
  bool has_sync;
  bool synchronised;
  int64_t frequency_ppb;
  int64_t error_us;
};

inline const char* describe_settings(const ClockSettings& s, bool with_range, char (&text)[192]) {
  char c[32];
  text[0] = '\0';
  if (s.has_timer) {
    std::snprintf(text, sizeof text, "timer %.4f ms", static_cast<double>(s.timer) / 10000);
    if (with_range) {
      char a[32], b[32];
      std::snprintf(a, sizeof a, "%.4f", static_cast<double>(s.finest) / 10000);
      std::snprintf(b, sizeof b, "%.4f", static_cast<double>(s.coarsest) / 10000);
      std::snprintf(text + std::strlen(text), sizeof text - std::strlen(text),
                    " (finest %s, coarsest %s)", a, b);
    }
  }
  if (s.has_adjustment) {
    std::snprintf(text + std::strlen(text), sizeof text - std::strlen(text), "%sadjusting %s ppm",
                  text[0] ? ", " : "", s.adjusting ? format_ppm(s.adjustment_ppb, c) : "0");
  }
  if (s.has_sync) {
    std::snprintf(text + std::strlen(text), sizeof text - std::strlen(text),
                  "%s%s, frequency %s ppm, error %lld us", text[0] ? ", " : "",
                  s.synchronised ? "synchronised" : "not synchronised",
                  format_ppm(s.frequency_ppb, c), static_cast<long long>(s.error_us));
  }
  return text;
}

#ifdef _WIN32
inline void read_clock_settings_now(ClockSettings* settings) {
  *settings = ClockSettings{};
  typedef LONG(WINAPI * Query)(ULONG*, ULONG*, ULONG*);
  HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  FARPROC entry = ntdll ? GetProcAddress(ntdll, "NtQueryTimerResolution") : nullptr;
  Query query = reinterpret_cast<Query>(reinterpret_cast<void*>(entry));
  ULONG coarsest = 0, finest = 0, current = 0;
  if (query != nullptr && query(&coarsest, &finest, &current) >= 0 && current != 0) {
    settings->has_timer = true;
    settings->timer = current;
    settings->finest = finest;
    settings->coarsest = coarsest;
  }
}
inline bool is_terminal(FILE* stream) {
  DWORD mode = 0;
  return GetConsoleMode(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream))), &mode) != 0;
}
inline int console_columns(FILE* stream) {
  CONSOLE_SCREEN_BUFFER_INFO info;
  if (!GetConsoleScreenBufferInfo(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream))), &info))
    return 0;
  return info.srWindow.Right - info.srWindow.Left + 1;
}
inline volatile LONG stand_in_interrupts = 0;
inline void (*stand_in_stop)() = nullptr;
inline BOOL WINAPI stand_in_event(DWORD event) {
  if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT)
    return InterlockedIncrement(&stand_in_interrupts) == 1 ? TRUE : FALSE;
  if (stand_in_stop) stand_in_stop();
  Sleep(2000);
  return TRUE;
}
inline void start_console_events(void (*stop)()) {
  stand_in_stop = stop;
  SetConsoleCtrlHandler(stand_in_event, TRUE);
}
inline int console_interrupts() { return static_cast<int>(stand_in_interrupts); }
inline void console_outputs_finished() {}
inline char** arguments_in_utf8(int, char* argv[]) { return argv; }
#else
inline void read_clock_settings_now(ClockSettings* settings) {
  *settings = ClockSettings{};
  timex state{};
  const int result = adjtimex(&state);
  if (result < 0) return;
  settings->has_sync = true;
  settings->synchronised = result != TIME_ERROR && (state.status & STA_UNSYNC) == 0;
  settings->frequency_ppb = static_cast<int64_t>(state.freq) * 1000 / 65536;
  settings->error_us = state.maxerror;
}
inline bool is_terminal(FILE* stream) { return isatty(fileno(stream)) != 0; }
inline int console_columns(FILE* stream) {
  winsize size{};
  if (ioctl(fileno(stream), TIOCGWINSZ, &size) != 0) return 0;
  return size.ws_col;
}
inline volatile sig_atomic_t stand_in_interrupts = 0;
inline void (*stand_in_stop)() = nullptr;
inline void stand_in_signal(int number) {
  if (number == SIGINT) {
    if (stand_in_interrupts++ > 0) _exit(130);
    return;
  }
  if (stand_in_stop) stand_in_stop();
}
inline void start_console_events(void (*stop)()) {
  stand_in_stop = stop;
  struct sigaction action {};
  action.sa_handler = stand_in_signal;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGHUP, &action, nullptr);
  signal(SIGPIPE, SIG_IGN);
}
inline int console_interrupts() { return stand_in_interrupts; }
inline void console_outputs_finished() {}
inline char** arguments_in_utf8(int, char* argv[]) { return argv; }
#endif
