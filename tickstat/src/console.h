// What tickstat needs of the console and its streams, once per platform.
#pragma once

#include <cstdio>

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
