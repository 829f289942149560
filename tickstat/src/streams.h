// What tickstat reads and writes, and all it asks of the machine: one seam, which the
// program fills with the console's real functions and the tests with scripted ones.
#pragma once

#include <cstdio>
#include <ctime>

#include "clock_settings.h"

// What read_some returns besides a count of bytes.
constexpr long kReadEnd = 0;       // the input has ended
constexpr long kReadFailed = -1;   // the input could not be read; errno says why
constexpr long kReadStopped = -2;  // a signal or a closing console asked tickstat to end

// Where tickstat reads and writes, what kind of streams they are, and what it asks of
// the machine besides reading and writing them.
struct Streams {
  FILE* in;
  FILE* out;
  FILE* err;
  bool live_input;    // a pipe or a terminal, written while tickstat reads it
  bool terminal_out;  // out is a terminal or a console, which gets a status line
  // Reads what in holds now, up to size bytes, waiting only while it holds nothing;
  // or one of kReadEnd, kReadFailed, kReadStopped. Null reads with fread, which waits
  // until size bytes have come.
  long (*read_some)(FILE* in, char* buffer, size_t size);
  // Opens path for writing without emptying it; null, with errno set, when it cannot.
  FILE* (*open_output)(const char* path);
  // Whether two streams are the same file on disk (never for pipes and devices).
  bool (*same_file)(FILE* a, FILE* b);
  // Empties a file opened by open_output; false, with errno set, when it cannot.
  bool (*empty_file)(FILE* file);
  // Called once the files are finished: a closing console may now end the process. May be null.
  void (*files_written)();
  bool terminal_in;                // in is a terminal or a console, where a person types
  const char* end_of_typed_input;  // the keys that end typed input there ("Ctrl+D")
  // The width in columns of the terminal out is, as it is now; 0 when not known.
  int (*columns)(FILE* out);
  // The local date and time now; null when not known.
  void (*local_time)(std::tm* now);
  // Reads the machine's clock settings, asked at each second of clock time while the
  // input is live; null reads none.
  void (*read_settings)(ClockSettings* settings);
};
