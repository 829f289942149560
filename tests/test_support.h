// Runs the program's pieces in-process and returns what they printed.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

// What a run printed and how it ended.
struct ProgramRun {
  std::string output;
  int status = -1;  // exit status, or -1 when a monitor ran until its script ended
  bool monitor_ran = false;
};

// Resets the option flags and runs the program with these arguments after its name.
int run_tickgauge_with(const std::vector<std::string>& arguments);

// Runs the program so and returns what it printed and how it ended.
ProgramRun run_program(const std::vector<std::string>& arguments);

// Runs a monitor until its script ends and returns what it printed.
std::string run_monitor(void (*monitor)());

// The banner of this build's setting.
std::string banner();

// The usage text of this build's setting.
std::string usage();

// The name GoogleTest gives a row of a table: the row's own.
template <typename Row>
std::string row_name(const testing::TestParamInfo<Row>& row) {
  return row.param.name;
}
