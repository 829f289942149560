// tickstat's input as text of one byte a character, whatever the file it was saved in.
#pragma once

#include <cstddef>

#include "machine.h"

// Forgets what the last run's input was; call before the first read of a run.
void start_input_text();

// Reads up to size bytes of the input's text into to, as machine.read_some does: a count of
// bytes, kReadEnd, kReadFailed or kReadStopped. Text saved as UTF-16 with a byte-order
// mark (Windows PowerShell 5.1's > does that) comes as one byte a character, any
// character past ASCII as '?'; a UTF-8 byte-order mark is left out.
long read_text(const Streams& streams, const Machine& machine, char* to, size_t size);
