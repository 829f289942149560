#include "command_line.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "counter_report.h"
#include "emulation_check.h"
#include "options.h"
#include "step_monitor.h"
#include "word_size.h"

namespace {

// Both come from the build, which also writes them into the Windows version resource.
const char kVersion[] = "v" TICKGAUGE_VERSION;
const char kCopyright[] = TICKGAUGE_COPYRIGHT;
const char kContact[] = "report problems to the tickgauge issue tracker";
const char kSystemTimeCall[] = "GetSystemTime()";
const char kFileTimeCall[] = "GetSystemTimeAsFileTime()";

void print_banner() { printf("\n%s %s, %s, %s\n", kProgramName, kVersion, kCopyright, kContact); }

void print_usage() {
  printf(
      "\nCheck and report resolution of the Windows system clock in milliseconds.\n"
      "Press Ctrl+C to abort.\n\nUsage: %s [-f|-t]\n\nParameter:\n"
      "  -t   Check using %s call\n  -f   Check using %s call\n"
      "  -p   Report QueryPerformanceCounter info\n  -q   Quiet operation, only report\n\n",
      kProgramName, kSystemTimeCall, kFileTimeCall);
}

// The flag an argument sets, or null when it is not exactly one of the options.
int* flag_of(const char* argument) {
  if (strcmp(argument, "-f") == 0) return &option_file_time;
  if (strcmp(argument, "-t") == 0) return &option_system_time;
  if (strcmp(argument, "-p") == 0) return &option_counter_report;
  if (strcmp(argument, "-q") == 0) return &option_quiet;
  return nullptr;
}

// Sets the flag of every argument; false at the first one that is not an option.
bool read_options(int argc, char* argv[]) {
  for (int i = 1; i < argc; i++) {
    int* flag = flag_of(argv[i]);
    if (flag == nullptr) {
      printf("Unknown parameter \"%s\".\n", argv[i]);
      return false;
    }
    *flag = 1;
  }
  return true;
}

void announce_monitor(const char* call_name) {
  printf("Using %s call.\n%s", call_name, "Press Ctrl+C to abort.\n");
  // A monitor may print nothing for hours (-q) and never returns: a text already lost
  // ends the run now, with the status of a lost step line.
  if (fflush(stdout) != 0 || ferror(stdout) != 0) exit(kLostOutputStatus);
}

void run_actions() {
  if (running_under_emulation()) printf("\n*** Warning: running on x64 in 32 bit emulation mode\n");
  if (option_counter_report) {
    printf("\n");
    report_performance_counter();
  }
  if (option_file_time) {
    announce_monitor(kFileTimeCall);
    run_file_time_monitor();
  } else if (option_system_time) {
    announce_monitor(kSystemTimeCall);
    run_system_time_monitor();
  }
}

}  // namespace

int run_tickgauge(int argc, char* argv[]) {
  print_banner();
  if (argc < 2 || !read_options(argc, argv)) {
    print_usage();
    return 1;
  }
  run_actions();
  // The report was asked for: one that could not be written is not a success.
  return fflush(stdout) == 0 && ferror(stdout) == 0 ? 0 : kLostOutputStatus;
}
