// The command line and the run order: the only place that decides what runs.
#pragma once

// Prints the banner, reads the options and runs the chosen actions; returns the exit status.
int run_tickgauge(int argc, char* argv[]);
