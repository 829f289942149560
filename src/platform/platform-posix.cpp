#include "platform/platform.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <ctime>

namespace {

const uint64_t kUnitsPerSecond = 10000000;
const uint64_t kUnitsPerMillisecond = 10000;
const uint64_t kSecondsPerDay = 86400;
const uint64_t kSecondsFrom1601To1970 = 11644473600ULL;
const int64_t kDaysFrom1601To1970 = 134774;

// Days from 1970-01-01 to a date of the proleptic Gregorian calendar.
int64_t days_from_civil(int64_t year, unsigned month, unsigned day) {
  year -= month <= 2;
  const int64_t era = (year >= 0 ? year : year - 399) / 400;
  const unsigned year_of_era = static_cast<unsigned>(year - era * 400);
  const unsigned day_of_year = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
  const unsigned day_of_era = year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
  return era * 146097 + static_cast<int64_t>(day_of_era) - 719468;
}

// Fills year, month and day of the date that lies days after 1970-01-01.
void civil_from_days(int64_t days, SYSTEMTIME* time) {
  days += 719468;
  const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const unsigned day_of_era = static_cast<unsigned>(days - era * 146097);
  const unsigned year_of_era =
      (day_of_era - day_of_era / 1460 + day_of_era / 36524 - day_of_era / 146096) / 365;
  const unsigned day_of_year =
      day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
  const unsigned shifted_month = (5 * day_of_year + 2) / 153;
  const unsigned month = shifted_month < 10 ? shifted_month + 3 : shifted_month - 9;
  time->wYear = static_cast<WORD>(static_cast<int64_t>(year_of_era) + era * 400 + (month <= 2));
  time->wMonth = static_cast<WORD>(month);
  time->wDay = static_cast<WORD>(day_of_year - (153 * shifted_month + 2) / 5 + 1);
}

bool is_leap_year(unsigned year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

unsigned days_in_month(unsigned year, unsigned month) {
  static const unsigned kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && is_leap_year(year) ? 29 : kDays[month - 1];
}

// The fields of a real date and time from 1601 on.
bool is_valid_system_time(const SYSTEMTIME& t) {
  return t.wYear >= 1601 && t.wYear <= 30828 && t.wMonth >= 1 && t.wMonth <= 12 && t.wDay >= 1 &&
         t.wDay <= days_in_month(t.wYear, t.wMonth) && t.wHour < 24 && t.wMinute < 60 &&
         t.wSecond < 60 && t.wMilliseconds < 1000;
}

timespec read_clock(clockid_t clock) {
  timespec now;
  clock_gettime(clock, &now);
  return now;
}

}  // namespace

void GetSystemTimeAsFileTime(FILETIME* time) {
  const timespec now = read_clock(CLOCK_REALTIME);
  const uint64_t seconds = static_cast<uint64_t>(now.tv_sec) + kSecondsFrom1601To1970;
  *time = make_file_time(seconds * kUnitsPerSecond + static_cast<uint64_t>(now.tv_nsec) / 100);
}

void GetSystemTime(SYSTEMTIME* time) {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  FileTimeToSystemTime(&now, time);
}

BOOL FileTimeToSystemTime(const FILETIME* file_time, SYSTEMTIME* system_time) {
  const uint64_t units = file_time_units(*file_time);
  if (units >> 63) return 0;  // past September 30828, as on Windows
  const uint64_t days = units / (kSecondsPerDay * kUnitsPerSecond);
  const uint64_t second_of_day = units / kUnitsPerSecond % kSecondsPerDay;
  civil_from_days(static_cast<int64_t>(days) - kDaysFrom1601To1970, system_time);
  system_time->wDayOfWeek = static_cast<WORD>((days + 1) % 7);  // 1601-01-01 was a Monday
  system_time->wHour = static_cast<WORD>(second_of_day / 3600);
  system_time->wMinute = static_cast<WORD>(second_of_day / 60 % 60);
  system_time->wSecond = static_cast<WORD>(second_of_day % 60);
  system_time->wMilliseconds = static_cast<WORD>(units / kUnitsPerMillisecond % 1000);
  return 1;
}

BOOL SystemTimeToFileTime(const SYSTEMTIME* system_time, FILETIME* file_time) {
  const SYSTEMTIME& t = *system_time;
  if (!is_valid_system_time(t)) return 0;
  const int64_t days = days_from_civil(t.wYear, t.wMonth, t.wDay) + kDaysFrom1601To1970;
  const uint64_t second_of_day = uint64_t{t.wHour} * 3600 + uint64_t{t.wMinute} * 60 + t.wSecond;
  const uint64_t seconds = static_cast<uint64_t>(days) * kSecondsPerDay + second_of_day;
  const uint64_t units = seconds * kUnitsPerSecond + t.wMilliseconds * kUnitsPerMillisecond;
  if (units >> 63) return 0;  // the largest file time falls in September 30828
  *file_time = make_file_time(units);
  return 1;
}

// The stand-in counter counts the nanoseconds of the monotonic clock: 1 GHz.
BOOL QueryPerformanceFrequency(LARGE_INTEGER* frequency) {
  frequency->QuadPart = 1000000000;
  return 1;
}

BOOL QueryPerformanceCounter(LARGE_INTEGER* count) {
  const timespec now = read_clock(CLOCK_MONOTONIC);
  count->QuadPart = static_cast<long long>(now.tv_sec) * 1000000000 + now.tv_nsec;
  return 1;
}

// There are no Windows modules here, so there is no emulation layer to find.
HMODULE GetModuleHandleA(const char*) { return nullptr; }

FARPROC GetProcAddress(HMODULE, const char*) { return nullptr; }

DWORD GetLastError() { return 0; }

void prepare_standard_output() {
  // Line buffering writes each message as it is printed, into a pipe or file too,
  // so nothing is left in a buffer when Ctrl+C ends the process.
  setvbuf(stdout, nullptr, _IOLBF, 0);
}

bool write_standard_output_line(const char* line, size_t length) {
  // Not through stdio: it drops what it holds when a write fails, and a pipe left
  // non-blocking by whoever started us fails with EAGAIN while its reader is merely
  // slow. A line of a pipe's atomic size goes in whole or not at all, so waiting and
  // trying again loses and repeats nothing. A reader that has gone raises SIGPIPE.
  while (length > 0) {
    const ssize_t written = write(STDOUT_FILENO, line, length);
    if (written > 0) {
      line += written;
      length -= static_cast<size_t>(written);
    } else if (written < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      pollfd output = {STDOUT_FILENO, POLLOUT, 0};
      poll(&output, 1, -1);
    } else if (written == 0 || errno != EINTR) {
      return false;
    }
  }
  return true;
}
