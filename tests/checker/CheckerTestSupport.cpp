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

TestFrames::Bytes DomainFrame(u8 id, u16 adr, u16 sdn, u16 ct, u16 tadr, TestFrames::Bytes payload,
                              const std::optional<TestFrames::Udid>& coding) {
  TestFrames::FrameSpec fields;
  fields.id = id;
  fields.adr = adr;
  fields.sdn = sdn;
  fields.ct = ct;
  fields.tadr = tadr;
  fields.payload = std::move(payload);
  return TestFrames::BuildFrame(coding ? TestFrames::WithFirmwareCoding(fields, *coding) : fields);
}

}  // namespace CheckerTest
