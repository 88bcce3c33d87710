#include "CheckerTestSupport.h"

#include <gtest/gtest.h>

namespace CheckerTest {

Util::CException Caught(const std::function<void()>& action) {
  try {
    action();
  } catch (const Util::CException& error) {
    return error;
  }
  ADD_FAILURE() << "no exception";
  return Util::CException(0);
}

TestFrames::Bytes PassingFrame(u16 adr, u16 sdn) {
  TestFrames::FrameSpec spec;
  spec.id = TestFrames::Ids::UdidRequest;
  spec.adr = adr;
  spec.sdn = sdn;
  spec.tadr = 1;
  return TestFrames::BuildFrame(spec);
}

}  // namespace CheckerTest
