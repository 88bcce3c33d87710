// Decoding and dispatching valid messages of every kind allocates nothing: the
// counting global allocator records every allocation inside the measured span.
#include <gtest/gtest.h>

#include "Event/CDecodedEventVisitor.h"
#include "Event/CEventDecoder.h"
#include "Frame/CFrameDecoder.h"
#include "FrameKinds.h"
#include "Hmi/CCommandDecoder.h"
#include "Hmi/CDecodedCommandVisitor.h"
#include "Hmi/CDecodedResponseVisitor.h"
#include "Hmi/CResponseDecoder.h"
#include "CountingAllocator.h"
#include "MessageBuilder.h"


namespace {

using TestFrames::Bytes;

class AnyEvent : public Event::CDecodedEventVisitor {
 public:
  int calls = 0;  ///< operations called
  void VisitCorvaneAcknowledged(const Event::CDecodedCorvaneAcknowledged&) override { ++calls; }
  void VisitModulesAcknowledged(const Event::CDecodedModulesAcknowledged&) override { ++calls; }
  void VisitFirmwareAcknowledged(const Event::CDecodedFirmwareAcknowledged&) override { ++calls; }
};

class AnyCommand : public Hmi::CDecodedCommandVisitor {
 public:
  int calls = 0;  ///< operations called
  void VisitChangePassword(const Hmi::CDecodedChangePassword& c) override { calls += c.GetChangedPassword() != nullptr; }
  void VisitAcknowledgeCorvane(const Hmi::CDecodedAcknowledgeCorvane&) override { ++calls; }
  void VisitAcknowledgeModules(const Hmi::CDecodedAcknowledgeModules& c) override {
    calls += static_cast<int>(c.GetAcknowledgedModuleCount() > 0);
  }
  void VisitAcknowledgeFirmware(const Hmi::CDecodedAcknowledgeFirmware&) override { ++calls; }
  void VisitRequestStatus(const Hmi::CDecodedRequestStatus&) override { ++calls; }
  void VisitActivateSetupMode(const Hmi::CDecodedActivateSetupMode&) override { ++calls; }
  void VisitDeactivateSetupMode(const Hmi::CDecodedDeactivateSetupMode&) override { ++calls; }
};

class Marker : public Hmi::CDecodedResponseVisitor {
 public:
  int calls = 0;  ///< operations called
  void VisitStatus(Hmi::CDecodedStatus& s) override {
    ++calls;
    s.SetFailSafeFlags(true);
  }
  void VisitStatusNew(Hmi::CDecodedStatusNew& s) override {
    ++calls;
    s.SetFailSafeFlag(true);
  }
};

TEST(Allocation, ValidDecodingAndDispatchAllocateNothing) {
  // Everything is built before the span: decoders, messages, visitors.
  Frame::CFrameDecoder frames;
  Event::CEventDecoder events;
  Hmi::CCommandDecoder commands;
  Hmi::CResponseDecoder responses;
  std::vector<Bytes> frameBytes;
  for (const auto& kind : DecodeTest::FrameKinds()) {
    frameBytes.push_back(TestFrames::BuildFrame(DecodeTest::KindSpec(kind, 20, false)));
    frameBytes.push_back(TestFrames::BuildFrame(DecodeTest::KindSpec(kind, kind.leMin, kind.slimId != 0)));
  }
  TestFrames::FrameSpec unknown{0x2F, 1, 1, 0, 1, 0, {0x02}, std::nullopt, std::nullopt};
  frameBytes.push_back(TestFrames::BuildFrame(unknown));
  const std::vector<Bytes> eventBytes = {
      TestFrames::BuildEvent(1, 0x6200C094, 7, 0), TestFrames::BuildEvent(1, 0x6200C095, 8, 3),
      TestFrames::BuildEvent(1, 0x6200C094, 9, 0), TestFrames::BuildEvent(2, 0x62008709, 3, 0)};
  std::vector<Bytes> commandBytes;
  for (u16 code : {0x5000, 0x0200, 0x0030, 0x0100, 0x9000, 0x9100, 0x4000}) {
    TestFrames::CommandSpec fields;
    fields.code = code;
    if (code == 0x5000) {
      fields.newPassword = std::array<u8, 16>{};
    }
    commandBytes.push_back(TestFrames::BuildCommand(fields));
  }
  TestFrames::CommandSpec status;
  status.commandClass = 0x0200;
  commandBytes.push_back(TestFrames::BuildCommand(status));
  std::vector<Bytes> responseBytes = {TestFrames::BuildStatus({}), TestFrames::BuildNewStatus({}), Bytes(20, 0)};
  DecodeTest::RecordingFrameVisitor frameVisitor;
  AnyEvent eventVisitor;
  AnyCommand commandVisitor;
  Marker responseVisitor;

  const TestAlloc::CAllocationSpan span;
  for (int round = 0; round < 3; ++round) {
    for (const Bytes& b : frameBytes) {
      frames.GetDecodedFrame(static_cast<u16>(b.size()), b.data(), DecodeTest::kScmUdid.data())->Accept(frameVisitor);
    }
    for (const Bytes& b : eventBytes) {
      events.GetDecodedEvent(static_cast<u8>(b.size()), b.data())->Accept(eventVisitor);
    }
    for (const Bytes& b : commandBytes) {
      commands.GetDecodedCommand(static_cast<u8>(b.size()), b.data())->Accept(commandVisitor);
    }
    for (Bytes& b : responseBytes) {
      responses.GetDecodedResponse(static_cast<u16>(b.size()), b.data())->Accept(responseVisitor);
    }
  }
  EXPECT_EQ(span.Count(), 0);
  EXPECT_EQ(frameVisitor.seen.total(), 3 * 30);
  EXPECT_EQ(eventVisitor.calls, 3 * 3);
  EXPECT_EQ(commandVisitor.calls, 3 * 7);
  EXPECT_EQ(responseVisitor.calls, 3 * 2);
}

TEST(Allocation, TheCounterSeesAllocations) {
  const TestAlloc::CAllocationSpan span;
  // A direct call, which unlike a new-expression the optimiser may not elide.
  void* p = ::operator new(sizeof(int));
  const long count = span.Count();
  ::operator delete(p);
  EXPECT_EQ(count, 1);
}

}  // namespace
