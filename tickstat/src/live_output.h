// The lines tickstat prints while it reads: one a period as it ends, one a step that
// set the clock, and on a terminal a status line rewritten in place each second.
#pragma once

#include <cstdio>

#include "records.h"

// Prints to out; terminal says whether out is one, and so whether to show the status
// line, cut to the width columns gives each time (0 or null: not known, not cut).
const Output* start_live_output(FILE* out, bool terminal, int (*columns)(FILE* out));

// Clears the status line, so that what follows starts on a clean line.
void finish_live_output();
