// tickclocks: every clock of the machine side by side, what a 1 ms wait really takes,
// and which clock to read.
#pragma once

#include <cstdio>

#include "machine.h"

// Where tickclocks writes.
struct Outputs {
  FILE* out;       // the report
  FILE* err;       // what went wrong, and the usage text
  FILE* progress;  // a console that shows progress while it measures; null for none
  int columns;     // that console's width; 0 where not known
  // What out and err were on disk when tickclocks started, before a signal could change them.
  FileIdentity out_file;
  FileIdentity err_file;
};

// Runs tickclocks with its command line (UTF-8) on the given machine; returns the exit
// status: 0, or 1 for a usage error or an output that could not be written.
int run_tickclocks(int argc, const char* const argv[], const Machine& machine,
                   const Outputs& outputs);
