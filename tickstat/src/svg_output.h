// --svg FILE: the run as a picture, written at the end of the input: the typical step
// over clock time with the band from smallest to largest, the periods and the steps
// that set the clock; below, the most frequent sizes.
#pragma once

#include <cstdio>
#include <ctime>

#include "output.h"
#include "tally.h"

// Gathers the seconds and periods into fixed buckets, for the picture drawn at the end.
const Output* start_svg_output();

// Draws the picture into file and closes it; the title names began, the local time a
// live run began, unless it is null. False when it could not be written.
bool draw_svg(FILE* file, const Tally& tally, const std::tm* began);
