#include <gtest/gtest.h>

#include "emulation_check.h"
#include "fake_platform.h"
#include "test_support.h"

namespace {

const char kWarning[] = "\n*** Warning: running on x64 in 32 bit emulation mode\n";

class EmulationCheck : public testing::Test {
 protected:
  void SetUp() override {
    fake::reset();
    fake::state().emulation = {true, true, 22, 0};  // as under WOW64
  }
};

TEST_F(EmulationCheck, AnswersEveryWayTheSystemCanRespond) {
  EXPECT_EQ(running_under_emulation(), 1);
  EXPECT_EQ(fake::state().wow64_buffer_size, 260u);
  fake::state().emulation = {false, true, 22, 0};
  EXPECT_EQ(running_under_emulation(), 0);
  EXPECT_EQ(fake::state().function_lookups, 1);  // not asked once the module is missing
  fake::state().emulation = {true, false, 22, 0};
  EXPECT_EQ(running_under_emulation(), 0);
  fake::state().emulation = {true, true, 0, ERROR_CALL_NOT_IMPLEMENTED};
  EXPECT_EQ(running_under_emulation(), 0);
  fake::state().emulation = {true, true, 0, 5};
  EXPECT_EQ(running_under_emulation(), 1);
  EXPECT_EQ(fake::state().wow64_calls, 3);
}

TEST_F(EmulationCheck, WarningFollowsTheBannerOnlyWhenEveryArgumentIsAnOption) {
  fake::state().frequency = 10000000;
  fake::state().file_times = {1, 2};
  fake::state().system_times = {fake::at(1, 0, 0, 0)};
  for (const char* option : {"-q", "-p", "-t", "-f"}) {
    const std::string output = run_program({option}).output;
    EXPECT_EQ(output.substr(0, banner().size() + sizeof kWarning - 1), banner() + kWarning)
        << option;
  }
  EXPECT_EQ(run_program({}).output.find("Warning"), std::string::npos);
  EXPECT_EQ(run_program({"-q", "-x"}).output.find("Warning"), std::string::npos);
}

}  // namespace
