// What tickstat needs of the console and its streams, once per platform.
#pragma once

#include <cstdio>
#include <ctime>

// Standard input as raw bytes: line ends are read as they come, CR LF or LF.
void read_input_as_bytes();

// The first Ctrl+C, which also ends the tickgauge writing into the pipe, leaves
// tickstat reading to the end of its input; a second one ends it at once.
void outlive_first_interrupt();

// Whether a stream is read while it is written: a pipe or a terminal, not a file.
bool is_live(FILE* stream);

// Whether a stream is a terminal or a console, where a line can be rewritten in place.
bool is_terminal(FILE* stream);

// Reads what the stream holds now, up to size bytes, waiting only while it holds
// nothing, so that a live pipe's lines are taken as they come; 0 at its end.
size_t read_some(FILE* stream, char* buffer, size_t size);

// The keys that end typed input on a terminal or console of this system.
extern const char kEndOfTypedInput[];

// The width in columns of the terminal or console the stream is shown in, as it is now
// (a window may be resized at any time); 0 when the stream is not one.
int columns_of(FILE* stream);

// The local date and time now.
void local_time(std::tm* now);
