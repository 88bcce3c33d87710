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
  TestFrames::FrameSpec fields;
  fields.id = TestFrames::Ids::UdidRequest;
  fields.adr = adr;
  fields.sdn = sdn;
  fields.tadr = 1;
  return TestFrames::BuildFrame(fields);
}

}  // namespace CheckerTest
