// The command line and the run order: the only place that decides what runs.
#pragma once

// Set by "-f": run the file-time step monitor.
extern int option_file_time;
// Set by "-t": run the system-time step monitor (unless "-f" was given too).
extern int option_system_time;
// Set by "-p": run the performance counter report.
extern int option_counter_report;
// Set by "-q": the step monitors print only steps below zero.
extern int option_quiet;

// Prints the banner, reads the options and runs the chosen actions; returns the exit status.
int run_tickgauge(int argc, char* argv[]);
