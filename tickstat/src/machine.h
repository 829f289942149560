// tickstat's seam: the streams it reads and writes, and all it asks of the machine.
// The program runs on the real machine; a test copies it and replaces fields by name.
#pragma once

#include <cstddef>
#include <cstdio>
#include <ctime>

#include "clock_settings.h"

// Where tickstat reads and writes, and what kind of streams they are.
struct Streams {
  FILE* in;
  FILE* out;
  FILE* err;
  bool live_input;    // a pipe or a terminal, written while tickstat reads it
  bool terminal_in;   // in is a terminal or a console, where a person types
  bool terminal_out;  // out is a terminal or a console, which gets the status line
  bool terminal_err;  // err is one, which gets the status line where out is not
};

// What tickstat asks of the machine besides reading and writing its streams.
struct Machine {
  // Reads what in holds now, up to size bytes, waiting only while it holds nothing; or
  // one of kReadEnd, kReadFailed, kReadStopped (input.h).
  long (*read_some)(FILE* in, char* buffer, size_t size);
  // Opens path for writing without emptying it; null, with errno set, when it cannot.
  FILE* (*open_output)(const char* path);
  // Whether two streams are the same file on disk (never for pipes and devices).
  bool (*same_file)(FILE* a, FILE* b);
  // Empties a file opened by open_output; false, with errno set, when it cannot.
  bool (*empty_file)(FILE* file);
  // Called once the files are finished: a closing console may now end the process.
  void (*files_written)();
  // The width in columns of the terminal out is, as it is now; 0 when not known.
  int (*columns)(FILE* out);
  // tickstat's own clock now, in whole seconds.
  std::time_t (*now)();
  // The local date and time of a moment of that clock; null when not known.
  void (*local_time)(std::time_t moment, std::tm* local);
  // Reads the machine's clock settings, asked at each second of clock time while the
  // input is live; null reads none.
  void (*read_settings)(ClockSettings* settings);
  // The keys that end typed input on a terminal or console ("Ctrl+D").
  const char* end_of_typed_input;
};

// This process's standard streams, and what kind each is.
Streams standard_streams();

// The machine tickstat runs on.
Machine real_machine();
