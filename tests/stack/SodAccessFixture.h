// Fixture of the access-structure tests: the main tables, structures by index.
#pragma once
#include <gtest/gtest.h>

#include <vector>

#include "SOD.h"
#include "StackFixture.h"

namespace StackTest {

class SodVirtTest : public StackFixture {
 protected:
  static SOD_Access Acc(u16 index, u8 sub) {
    SOD_Access a{};
    a.obj.usIndex = index;
    a.obj.ucSubIndex = sub;
    return a;
  }
  static SOD_Access Resolved(u16 index, u8 sub) {
    SOD_Access a = Acc(index, sub);
    SOD_ErrorInfo err{};
    EXPECT_NE(SOD_AttrGetVirt(&a, &err), nullptr) << std::hex << index << "/" << +sub;
    return a;
  }
  static std::vector<u8> Services() {
    std::vector<u8> s;
    for (const CallbackCall& c : g_callbackCalls) s.push_back(c.service);
    return s;
  }
};

}  // namespace StackTest
