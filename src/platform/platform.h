// The only operating-system calls the program makes besides printing its messages.
// On Windows they are the kernel's own; elsewhere platform-posix.cpp stands in
// for them with the same names, records and promises. tickgauge keeps the Windows
// calls themselves as its contract, not a layer of its own over them, so that what
// its loops measure is exactly the call a Windows program makes, and it shares
// nothing with the companions' library.
#pragma once

#include <cstddef>
#include <cstdint>

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#else
typedef int BOOL;
typedef uint16_t WORD;
typedef uint32_t DWORD;
typedef unsigned int UINT;
typedef char16_t WCHAR;
typedef WCHAR* LPWSTR;
typedef void* HMODULE;
typedef long long (*FARPROC)();
#define WINAPI
#define ERROR_CALL_NOT_IMPLEMENTED 120L

// 100-ns intervals since 1601-01-01 UTC, held as a low and a high half.
struct FILETIME {
  DWORD dwLowDateTime;
  DWORD dwHighDateTime;
};

// Broken-down UTC time down to whole milliseconds; 16 bytes, no padding.
struct SYSTEMTIME {
  WORD wYear;
  WORD wMonth;
  WORD wDayOfWeek;
  WORD wDay;
  WORD wHour;
  WORD wMinute;
  WORD wSecond;
  WORD wMilliseconds;
};

// A signed 64-bit count; only the whole value is used.
union LARGE_INTEGER {
  long long QuadPart;
};

// Fills time with the current UTC time, broken down.
void GetSystemTime(SYSTEMTIME* time);
// Fills time with the current UTC time in 100-ns units.
void GetSystemTimeAsFileTime(FILETIME* time);
// Converts a broken-down time to 100-ns units; FALSE when a field is out of range.
BOOL SystemTimeToFileTime(const SYSTEMTIME* system_time, FILETIME* file_time);
// Converts 100-ns units to a broken-down time; the inverse of SystemTimeToFileTime.
BOOL FileTimeToSystemTime(const FILETIME* file_time, SYSTEMTIME* system_time);
// Stores the counter's counts per second; zero when there is no counter.
BOOL QueryPerformanceFrequency(LARGE_INTEGER* frequency);
// Stores the counter's current count.
BOOL QueryPerformanceCounter(LARGE_INTEGER* count);
// The handle of a loaded module, or null.
HMODULE GetModuleHandleA(const char* module_name);
// The entry of a function exported by a module, or null.
FARPROC GetProcAddress(HMODULE module, const char* function_name);
// The calling thread's last error.
DWORD GetLastError();
#endif

// A FILETIME as the one 64-bit count of 100-ns units that its two halves hold.
inline uint64_t file_time_units(const FILETIME& time) {
  return static_cast<uint64_t>(time.dwHighDateTime) << 32 | time.dwLowDateTime;
}

// The FILETIME that holds a 64-bit count of 100-ns units.
inline FILETIME make_file_time(uint64_t units) {
  return FILETIME{static_cast<DWORD>(units), static_cast<DWORD>(units >> 32)};
}

// Sets standard output up once: whole lines, and each step line out when it is printed.
void prepare_standard_output();

// Writes one line to standard output whole, in one write, waiting while a slow reader
// catches up; false when it cannot be written (the reader has gone, the disk is full).
bool write_standard_output_line(const char* line, size_t length);
