#include "test_support.h"

#include "command_line.h"
#include "fake_platform.h"
#include "options.h"
#include "word_size.h"

int run_tickgauge_with(const std::vector<std::string>& arguments) {
  option_file_time = option_system_time = option_counter_report = option_quiet = 0;
  std::vector<std::string> words = {"any-name-it-was-started-under"};
  words.insert(words.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(&word[0]);
  argv.push_back(nullptr);
  return run_tickgauge(static_cast<int>(words.size()), argv.data());
}

ProgramRun run_program(const std::vector<std::string>& arguments) {
  ProgramRun run;
  testing::internal::CaptureStdout();
  try {
    run.status = run_tickgauge_with(arguments);
  } catch (const fake::ScriptEnded&) {
    run.monitor_ran = true;
  }
  run.output = testing::internal::GetCapturedStdout();
  return run;
}

std::string run_monitor(void (*monitor)()) {
  testing::internal::CaptureStdout();
  try {
    monitor();
  } catch (const fake::ScriptEnded&) {
  }
  return testing::internal::GetCapturedStdout();
}

// The name spelt out, not kProgramName, so that a wrong name in the build shows.
const char* const kName = kWordSize == 32 ? "tickgauge" : "tickgauge64";

std::string banner() {
  return std::string("\n") + kName +
         " v" TICKGAUGE_VERSION
         ", Copyright (C) 2026 the tickgauge developers, "
         "report problems to the tickgauge issue tracker\n";
}

std::string usage() {
  return std::string(
             "\nCheck and report resolution of the Windows system clock in milliseconds.\n"
             "Press Ctrl+C to abort.\n\nUsage: ") +
         kName +
         " [-f|-t]\n\nParameter:\n"
         "  -t   Check using GetSystemTime() call\n"
         "  -f   Check using GetSystemTimeAsFileTime() call\n"
         "  -p   Report QueryPerformanceCounter info\n"
         "  -q   Quiet operation, only report\n\n";
}
