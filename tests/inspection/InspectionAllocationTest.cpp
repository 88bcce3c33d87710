// Inspecting valid traffic of every kind through the dispatching inspector
// allocates nothing: frames in both directions, events and commands, the
// acknowledgements with their write-back included. The messages are built and
// the substitutes' records reserved before the counted span.
#include <gtest/gtest.h>

#include "CountingAllocator.h"
#include "InspectionRows.h"

namespace InspectTest {
namespace {

Bytes Join2(const Bytes& a, const Bytes& b) {
  Bytes all = a;
  all.insert(all.end(), b.begin(), b.end());
  return all;
}

struct Message {
  enum Kind { SentFrame, ReceivedFrame, EventRecord, CommandRecord } kind;
  Bytes bytes;  ///< plain message
};

TEST(InspectionAllocation, ValidTrafficOfEveryKindAllocatesNothing) {
  auto inspection = std::make_unique<Inspection>();
  InstallDomain(*inspection);
  inspection->Initialize();
  inspection->udidSink.log = nullptr;
  inspection->minorSink.log = nullptr;
  inspection->surroundings.log = nullptr;
  inspection->udidSink.written.reserve(2048);
  inspection->minorSink.written.reserve(2048);
  inspection->surroundings.passwordsSet.reserve(16);
  inspection->surroundings.setupModeSets.reserve(16);
  inspection->surroundings.automaticUdids = true;
  inspection->surroundings.automaticFirmware = true;
  inspection->surroundings.automaticCorvane = true;

  const Bytes set = Join2(Record(0x2000, 1, {1, 2, 3, 4, 5}), Record(0x1018, 6, kChecksum6));
  std::vector<Message> traffic;
  auto sent = [&](const FrameSpec& f) { traffic.push_back({Message::SentFrame, TestFrames::BuildFrame(f)}); };
  auto received = [&](const FrameSpec& f) { traffic.push_back({Message::ReceivedFrame, TestFrames::BuildFrame(f)}); };
  auto command = [&](u16 data) {
    TestFrames::CommandSpec c = EnterCommand(data);
    if (data == 0x5000) c.newPassword = Password{};
    traffic.push_back({Message::CommandRecord, TestFrames::BuildCommand(c)});
  };
  // node 5: UDID answer, identity, checksum uploaded expedited
  sent(AssignSadr(5, kUdid5));
  received(SadrAssigned(5, kUdid5));
  received(ResponseUdid(5, kUdid5));
  for (u8 sub = 1; sub <= 3; ++sub) {
    const u32 values[] = {kVendorId, kProductCode, Revision(kMajor, kMinorAcknowledged)};
    received(UploadExpedited(5, 0x1018, sub, U32(values[sub - 1]), static_cast<u16>(10 + sub)));
  }
  received(UploadInitiateSegmented(5, 0x1018, 6, 8, Bytes(kChecksum5.begin(), kChecksum5.begin() + 4), 20));
  received(UploadMiddle(5, Bytes(kChecksum5.begin() + 4, kChecksum5.begin() + 6), 21));
  received(UploadEnd(5, Bytes(kChecksum5.begin() + 6, kChecksum5.end()), 22));
  received(SnFail(5, 3, 2));
  sent(SnAck(5, 3, 2));
  sent(SetToOp(5));
  // node 6: its set downloaded segmented and expedited
  sent(AssignSadr(6, kUdid6));
  received(SadrAssigned(6, kUdid6));
  for (u8 sub = 1; sub <= 3; ++sub) {
    const u32 values[] = {kVendorId, kProductCode, Revision(kMajor, kMinorAcknowledged)};
    received(UploadExpedited(6, 0x1018, sub, U32(values[sub - 1]), static_cast<u16>(30 + sub)));
  }
  sent(DownloadInitiateSegmented(6, 0x101A, 0, static_cast<u32>(set.size()), Bytes(set.begin(), set.begin() + 9), 40));
  sent(DownloadMiddle(6, Bytes(set.begin() + 9, set.begin() + 16), 41));
  sent(DownloadEnd(6, Bytes(set.begin() + 16, set.end()), 42));
  sent(DownloadExpedited(6, 0x101A, 0, set, 43));
  sent(SetToOp(6));
  // events and commands, the acknowledgements included
  traffic.push_back({Message::EventRecord, TestFrames::BuildEvent(1, 0x6200C095, 7, 0)});
  traffic.push_back({Message::EventRecord, TestFrames::BuildEvent(1, 0x6200C095, 8, 0)});
  traffic.push_back({Message::EventRecord, TestFrames::BuildEvent(1, 0x6200C095, 9, 0)});
  traffic.push_back({Message::EventRecord, TestFrames::BuildEvent(2, 0x62001234, 1, 2)});
  for (u16 data : {0x0060, 0x0020, 0x0100, 0x0200, 0x9000, 0x9100, 0x5000}) command(data);
  std::vector<Bytes> buffers;
  for (const Message& m : traffic) buffers.push_back(Complement(m.bytes));

  Frame::CFrameDecoder frames;
  Event::CEventDecoder events;
  Hmi::CCommandDecoder commands;
  int refused = 0;
  const TestAlloc::CAllocationSpan span;
  for (std::size_t i = 0; i < traffic.size(); ++i) {
    const Bytes& m = traffic[i].bytes;
    try {
      switch (traffic[i].kind) {
        case Message::SentFrame:
          inspection->inspector->InspectSentFrame(
              *frames.GetDecodedFrame(static_cast<u16>(m.size()), m.data(), kScmUdid.data()),
              static_cast<u16>(buffers[i].size()), buffers[i].data());
          break;
        case Message::ReceivedFrame:
          inspection->inspector->InspectReceivedFrame(
              *frames.GetDecodedFrame(static_cast<u16>(m.size()), m.data(), kScmUdid.data()));
          break;
        case Message::EventRecord:
          inspection->inspector->InspectEvent(*events.GetDecodedEvent(static_cast<u8>(m.size()), m.data()));
          break;
        case Message::CommandRecord:
          inspection->inspector->InspectCommand(*commands.GetDecodedCommand(static_cast<u8>(m.size()), m.data()));
          break;
      }
    } catch (const Util::CException&) {
      ++refused;
    }
  }
  const long allocations = span.Count();
  EXPECT_EQ(allocations, 0);
  EXPECT_EQ(refused, 0);
  EXPECT_TRUE(inspection->inspector->IsValid());
  EXPECT_EQ(inspection->udidSink.opens, 2) << "the modules were acknowledged by the event and the command";
  EXPECT_GE(inspection->minorSink.opens, 2) << "the firmware was acknowledged by the event and the command";
}

}  // namespace
}  // namespace InspectTest
