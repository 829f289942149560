// tickstat: reads tickgauge's step lines and tells what the clock's step is.
#pragma once

#include <cstdio>
#include <ctime>

#include "clock_settings.h"

// Where tickstat reads and writes, and what kind of streams they are.
struct Streams {
  FILE* in;
  FILE* out;
  FILE* err;
  bool live_input;    // a pipe or a terminal, written while tickstat reads it
  bool terminal_out;  // out is a terminal or a console, which gets a status line
  // Reads what in holds now, up to size bytes, waiting only while it holds nothing;
  // 0 at its end. Null reads with fread, which waits until size bytes have come.
  size_t (*read_some)(FILE* in, char* buffer, size_t size);
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

// Reads in to its end, printing a line per period of clock time and then a summary
// to out; returns the exit status (0, 1 after a usage error or an output that could
// not be written, 2 with no step line in the input).
int run_tickstat(int argc, char* argv[], const Streams& streams);
