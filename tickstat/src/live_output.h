// The lines tickstat prints while it reads: one a period as it ends, one a step that
// set the clock, and on a terminal a status line rewritten in place each second.
#pragma once

#include <cstdio>

#include "machine.h"
#include "output.h"

// Prints to the streams' out, and notices to their err. A status line goes to out where it
// is a terminal or a console, else to err where that is one, cut to the width
// machine.columns gives it each time (0 or null: not known, not cut). The machine lasts
// the run.
const Output* start_live_output(const Streams& streams, const Machine& machine);

// Clears the status line, so that what follows starts on a clean line.
void finish_live_output();
