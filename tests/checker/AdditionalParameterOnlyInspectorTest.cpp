// The program's interim inspector: every frame goes to the additional-parameter
// check; a sent frame loses the three other check-bit pairs first and the
// additional-parameter pair only after the check returned; validity is the check's.
#include <gtest/gtest.h>

#include "CAdditionalParameterOnlyInspector.h"
#include "CException.h"
#include "CheckerTestSupport.h"
#include "Frame/CFrameDecoder.h"

namespace {

/// A check that counts its calls and throws when told to.
class ScriptedCheck : public Check::CAdditionalParameterInspector {
 public:
  void InspectReceivedFrame(const Frame::CDecodedFrame&) override { ++received; }
  void InspectSentFrame(const Frame::CDecodedFrame&) override {
    ++sent;
    if (refuse) {
      valid = false;
      throw Util::CException(0xE2ED, 7, 2);
    }
  }
  bool IsValid() const override { return valid; }
  int received = 0;     ///< received frames handed over
  int sent = 0;         ///< sent frames handed over
  bool refuse = false;  ///< the next sent frame is refused
  bool valid = true;    ///< IsValid
};

TEST(AdditionalParameterOnlyInspectorTest, CheckBitsFollowTheCheck) {
  const TestFrames::Bytes plain = CheckerTest::PassingFrame(3, 42);
  Frame::CFrameDecoder decoder;
  const u8 zero[6] = {};
  const Frame::CDecodedFrame* frame = decoder.GetDecodedFrame(static_cast<u16>(plain.size()), plain.data(), zero);
  ScriptedCheck check;
  Main::CAdditionalParameterOnlyInspector inspector(check);
  auto inverted = [&plain] {
    TestFrames::Bytes b = plain;
    for (auto& x : b) x = static_cast<u8>(~x);
    return b;
  };

  inspector.InspectReceivedFrame(*frame);
  EXPECT_EQ(check.received, 1);
  TestFrames::Bytes buffer = inverted();
  inspector.InspectSentFrame(*frame, static_cast<u16>(buffer.size()), buffer.data());
  EXPECT_EQ(buffer, plain) << "all four pairs removed after a passing check";
  EXPECT_TRUE(inspector.IsValid());

  check.refuse = true;
  buffer = inverted();
  const Util::CException error =
      CheckerTest::Caught([&] { inspector.InspectSentFrame(*frame, static_cast<u16>(buffer.size()), buffer.data()); });
  EXPECT_EQ(error.GetCode(), 0xE2ED);
  for (size_t i = 0; i < buffer.size(); ++i) {
    EXPECT_EQ(buffer[i], static_cast<u8>(plain[i] ^ 0xC0)) << "only the three other pairs removed, byte " << i;
  }
  EXPECT_FALSE(inspector.IsValid());
  EXPECT_EQ(check.sent, 2);
  EXPECT_EQ(CheckerTest::Caught([&] { inspector.InspectSentFrame(*frame, 4, nullptr); }).GetCode(), 0xE200);
}

}  // namespace
