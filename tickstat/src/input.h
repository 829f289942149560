// Standard input as tickstat reads it, once per platform: raw bytes, taken as they
// come, and a read that a signal or a closing console can end.
#pragma once

#include <cstddef>
#include <cstdio>

// What read_some returns besides a count of bytes.
constexpr long kReadEnd = 0;       // the input has ended
constexpr long kReadFailed = -1;   // the input could not be read; errno says why
constexpr long kReadStopped = -2;  // a signal or a closing console asked tickstat to end

// Standard input as raw bytes: line ends are read as they come, CR LF or LF.
void prepare_input();

// Whether a stream is read while it is written: a pipe or a terminal, not a file.
bool is_live(FILE* stream);

// Reads what the stream holds now, up to size bytes, waiting only while it holds
// nothing, so that a live pipe's lines are taken as they come; or kReadEnd,
// kReadFailed or kReadStopped.
long read_some(FILE* stream, char* buffer, size_t size);

// Ends standard input's reading, now and later: the read waiting now returns, and so
// does any after it. Safe in a signal handler and on the console's own thread.
void end_input();

// The keys that end typed input on a terminal or console of this system.
extern const char kEndOfTypedInput[];
