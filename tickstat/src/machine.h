// tickstat's seam: the streams it reads and writes, and all it asks of the machine.
// The program runs on the real machine; a test copies it and replaces fields by name.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <ctime>

#include "clock_settings.h"
#include "output_files.h"

// Where tickstat reads and writes, and what kind of streams they are.
struct Streams {
  FILE* in;
  FILE* out;
  FILE* err;
  bool live_input;    // a pipe or a terminal, written while tickstat reads it
  bool terminal_in;   // in is a terminal or a console, where a person types
  bool terminal_out;  // out is a terminal or a console, which gets the status line
  bool terminal_err;  // err is one, which gets the status line where out is not
  // What each was on disk when tickstat started, before a signal could change it.
  FileIdentity in_file;
  FileIdentity out_file;
  FileIdentity err_file;
};

// What tickstat asks of the machine besides reading and writing its streams.
struct Machine {
  // Reads what in holds now, up to size bytes, waiting only while it holds nothing; or
  // one of kReadEnd, kReadFailed, kReadStopped (input.h).
  long (*read_some)(FILE* in, char* buffer, size_t size);
  // Opens path for writing without emptying it, creating it where there is none (and
  // *created says so); null, with errno set, when it cannot.
  FILE* (*open_output)(const char* path, bool* created);
  // What a stream is on disk.
  FileIdentity (*identify)(FILE* stream);
  // Whether two identities are one file on disk (never pipes or devices); later was taken
  // after earlier.
  bool (*same_file)(const FileIdentity& later, const FileIdentity& earlier);
  // Whether two identities are one pipe, as a FIFO named for an output and the input.
  bool (*same_pipe)(const FileIdentity& later, const FileIdentity& earlier);
  // Empties a file opened by open_output; false, with errno set, when it cannot.
  bool (*empty_file)(FILE* file);
  // Cuts a file on disk back to its first size bytes; false, with errno set, when it cannot.
  bool (*cut_file)(FILE* file, int64_t size);
  // Removes a file that tickstat made; false, with errno set, when it cannot.
  bool (*remove_file)(const char* path);
  // Creates a new file beside path for a whole new version of it, its path in beside.
  FILE* (*open_beside)(const char* path, char* beside, size_t size);
  // Puts the file at from in the place of the file at to; false, with errno set, when not.
  bool (*replace_file)(const char* from, const char* to);
  // Whether the terminal or console has gone, so that output to it could not be written.
  bool (*console_closed)();
  // Called once the files are finished: a closing console may now end the process.
  void (*files_written)();
  // The width in columns of the terminal out is, as it is now; 0 when not known.
  int (*columns)(FILE* out);
  // The time of day now, in 100-ns units since 1970.
  int64_t (*now)();
  // tickstat's own steady clock now, which nobody sets, in 100-ns units from any start.
  int64_t (*steady)();
  // The local date and time of a moment of now's clock, in whole seconds; null when not known.
  void (*local_time)(std::time_t moment, std::tm* local);
  // Reads the machine's clock settings as they are now, asked often while the input is
  // live; null reads none.
  void (*read_settings)(ClockSettings* settings);
  // The keys that end typed input on a terminal or console ("Ctrl+D").
  const char* end_of_typed_input;
};

// These streams, what kind each is and what it is on disk.
Streams streams_of(FILE* in, FILE* out, FILE* err);

// This process's standard streams; any closed is then kept open on the null device.
Streams standard_streams();

// The machine tickstat runs on.
Machine real_machine();
