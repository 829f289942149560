// What tickstat needs of the console and its streams, once per platform.
#pragma once

#include <cstdio>
#include <ctime>

// The command line's words in UTF-8, whatever characters the user typed.
char** arguments_in_utf8(int argc, char* argv[]);

// Standard input as raw bytes: line ends are read as they come, CR LF or LF.
void read_input_as_bytes();

// The first Ctrl+C, which also ends the tickgauge writing into the pipe, leaves
// tickstat reading to the end of its input; a second one ends it at once.
void outlive_first_interrupt();

// A signal to end (SIGTERM, SIGHUP) or a closing console, a logoff or a shutdown ends
// the input, so that the files are finished; a second signal ends tickstat at once.
// A write to a pipe whose reader has gone fails instead of ending the process.
void end_input_on_signals();

// Whether a stream is read while it is written: a pipe or a terminal, not a file.
bool is_live(FILE* stream);

// Whether a stream is a terminal or a console, where a line can be rewritten in place.
bool is_terminal(FILE* stream);

// Reads what the stream holds now, up to size bytes, waiting only while it holds
// nothing, so that a live pipe's lines are taken as they come; or kReadEnd,
// kReadFailed or kReadStopped (tickstat.h).
long read_some(FILE* stream, char* buffer, size_t size);

// Opens a file for writing, creating it but keeping what it holds; null with errno set.
FILE* open_output(const char* path);

// Whether two streams are one file on disk, by its identity, not by the path.
bool same_file(FILE* a, FILE* b);

// Empties a file that open_output opened; devices are left as they are.
bool empty_file(FILE* file);

// Lets a closing console end the process, now that the files are written.
void files_written();

// The keys that end typed input on a terminal or console of this system.
extern const char kEndOfTypedInput[];

// The width in columns of the terminal or console the stream is shown in, as it is now
// (a window may be resized at any time); 0 when the stream is not one.
int columns_of(FILE* stream);

// The local date and time now.
void local_time(std::tm* now);
