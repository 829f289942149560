#include <gtest/gtest.h>

#include "emulation_check.h"
#include "fake_platform.h"
#include "test_support.h"

namespace {

TEST(EmulationCheck, SixtyFourBitSettingAsksNothingAndNeverWarns) {
  fake::reset();
  fake::state().emulation = {true, true, 22, 0};  // a system that would say yes
  EXPECT_EQ(running_under_emulation(), 0);
  EXPECT_EQ(fake::state().module_lookups, 0);
  EXPECT_EQ(run_program({"-q"}).output, banner());
}

}  // namespace
