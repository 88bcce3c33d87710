// Base fixture of the stack tests: fresh fakes, the main object tables and an
// initialised dictionary.
#pragma once
#include <gtest/gtest.h>

#include "SERR.h"
#include "SOD.h"
#include "StackDoubles.h"
#include "StackFakes.h"
#include "TestObjectTables.h"

namespace StackTest {

class StackFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetFakes();
    StackDoubles::Reset();
    UseMainTables();
    SERR_Init();
    ASSERT_TRUE(SOD_Init()) << ::testing::PrintToString(g_errors);
    ASSERT_TRUE(g_errors.empty());
    g_callbackCalls.clear();
  }

  /// Handle of a real object, failing the test when it is missing.
  static const SOD_Entry* Handle(u16 index, u8 sub) {
    const SOD_Entry* h = nullptr;
    SOD_ErrorInfo err{};
    EXPECT_NE(SOD_AttrGet(index, sub, &h, 0, &err), nullptr) << std::hex << index << "/" << +sub;
    return h;
  }

  /// The last recorded error (a zero report when none).
  static ErrorReport LastError() { return g_errors.empty() ? ErrorReport{0, 0} : g_errors.back(); }
};

}  // namespace StackTest
