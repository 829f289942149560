// The four option flags: set once by the command line, read by the actions it runs.
#pragma once

// Set by "-f": run the file-time step monitor.
extern int option_file_time;
// Set by "-t": run the system-time step monitor (unless "-f" was given too).
extern int option_system_time;
// Set by "-p": run the performance counter report.
extern int option_counter_report;
// Set by "-q": the step monitors print only steps below zero.
extern int option_quiet;
