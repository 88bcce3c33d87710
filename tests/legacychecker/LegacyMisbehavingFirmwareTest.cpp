// A misbehaving older firmware under scmchecker-legacy and the two-sided
// harness, one fresh checker per row, on an installed domain whose nodes have
// SADRs above 12 (13 and 14; 13's UDID and minor revision acknowledged, 14's
// UDID unknown), the key-medium identity in Qor variable 4. The control row
// sets 13 operational and the frame reaches the host plain and unrecorded;
// every other set-to-operational is refused with the check's code, the SADR
// and its module flags: the frame never reaches the host, the four frame
// queues are gone and a later status response arrives marked.
#include <gtest/gtest.h>

#include "MessageBuilder.h"
#include "NodeConversation.h"

namespace {

using ScmTest::Bytes;
using ScmTest::ConversationFrames;
using ScmTest::NodeConversation;
using TestFrames::Udid;

constexpr u16 kSdn = 42;
constexpr Udid kScmUdid = {0x02, 0x5C, 0x3E, 0x10, 0x20, 0x31};  ///< the host's Qor UDID plus one
constexpr Udid kUdid13 = {0x02, 0x5C, 0x3E, 0xA0, 0x00, 0x13};
constexpr Udid kUdidOther = {0x02, 0x5C, 0x3E, 0xA0, 0x00, 0x99};
constexpr u32 kVendorId = 0x0025C3E0;
constexpr u32 kProductCode = 0x1013;
constexpr u32 kRevision = 0x00020005;  ///< major 2, minor 5
const Bytes kChecksum = {0xC1, 0xC2, 0xC3, 0xC4, 0xC5, 0xC6, 0xC7, 0xC8};

const ConversationFrames kFrames(kSdn, 1, kScmUdid);

/// Nodes 13 and 14 in the node list; 13's UDID and minor revision acknowledged, 14's UDID unknown.
ScmGen::Domain Domain() {
  ScmGen::Domain d;
  d.sdn = kSdn;
  for (u16 sadr : {13, 14}) {
    ScmGen::Node n;
    n.sadr = sadr;
    n.udid = sadr == 13 ? kUdid13 : Udid{};
    n.vendorId = kVendorId;
    n.productCode = sadr == 13 ? kProductCode : kProductCode + 1;
    n.revision = kRevision;
    n.checksum = kChecksum;
    n.parameterSet = ConversationFrames::Record(0x1018, 6, kChecksum);
    n.timestamp = 0x20260000u + sadr;
    d.nodes.push_back(n);
  }
  d.fwRevCnf = ScmGen::FwRevCnf{};
  d.fwRevCnf->entries = {{13, static_cast<u16>(kRevision & 0xFFFF)}};
  d.fwRevCnf->qorUdid = ScmSim::HostConfig{}.qorUdid;
  return d;
}

/// One step of the conversation: a frame the firmware sends or the node answers.
struct Message {
  bool sent;  ///< true: from the firmware; false: from the node
  TestFrames::FrameSpec frame;
};
Message Sent(TestFrames::FrameSpec f) { return {true, std::move(f)}; }
Message Answer(TestFrames::FrameSpec f) { return {false, std::move(f)}; }

/// Node 13 assigned, with the given UDID answer, its identity and checksum upload.
std::vector<Message> Node13(const Udid& udid = kUdid13, u32 revision = kRevision) {
  return {Sent(kFrames.AssignSadr(13, kUdid13)),
          Answer(kFrames.SadrAssigned(13, udid)),
          Answer(kFrames.UploadExpedited(13, 0x1018, 1, ConversationFrames::U32(kVendorId), 20)),
          Answer(kFrames.UploadExpedited(13, 0x1018, 2, ConversationFrames::U32(kProductCode), 21)),
          Answer(kFrames.UploadExpedited(13, 0x1018, 3, ConversationFrames::U32(revision), 22)),
          Answer(kFrames.UploadExpedited(13, 0x1018, 6, kChecksum, 23))};
}

struct Row {
  const char* name;                   ///< the misbehaviour
  std::vector<Message> conversation;  ///< before the set-to-operational
  u16 sadr;                           ///< set to operational of this SADR
  u16 code;                           ///< 0: accepted
  u32 flags;                          ///< information1 of the record
  bool keyMediumAcknowledged = true;  ///< variable 4 equals "corvane.uid"
};

TEST(LegacyCheckerInspectionTest, MisbehavingOlderFirmwareIsStoppedAtTheSetToOperational) {
  const std::vector<Row> rows = {
      {"control: everything seen and acknowledged", Node13(), 13, 0, 0},
      {"an unknown UDID", Node13(kUdidOther), 13, 0xE2D8, 0x37},
      {"a SADR never assigned", {}, 14, 0xE2D8, 0x01},
      {"a minor revision never acknowledged", Node13(kUdid13, kRevision + 1), 13, 0xE2DF, 0x0F},
      {"before the key medium is acknowledged", Node13(), 13, 0xE249, 0, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const ScmGen::Domain domain = Domain();
    NodeConversation c(ScmTest::LegacyCheckerOptions(row.keyMediumAcknowledged
                                                         ? ScmTest::InstalledDomainOptions(domain)
                                                         : ScmTest::UnacknowledgedKeyMediumOptions(domain)),
                       kFrames);
    if (!c.Started()) continue;
    for (const Message& m : row.conversation) {
      EXPECT_TRUE(m.sent ? c.FirmwareSends(m.frame) : c.NodeAnswers(m.frame));
    }
    const bool passed = c.FirmwareSends(kFrames.SetToOp(row.sadr));
    const auto log = c.Harness().CollectLog();
    if (row.code == 0) {
      EXPECT_TRUE(passed) << "the frame arrives plain";
      EXPECT_TRUE(log.empty());
      EXPECT_EQ(c.Harness().Host().Waiting("frame-receive"), 0) << "not fail-safe";
      continue;
    }
    EXPECT_FALSE(passed) << "the refused frame never reaches the host";
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].level, 3);
    EXPECT_EQ(log[0].code, row.code);
    EXPECT_EQ(log[0].information0, row.code == 0xE249 ? 0 : row.sadr);
    EXPECT_EQ(log[0].information1, row.flags);
    for (const char* queue : {"frame-send", "~frame-send", "~frame-receive", "frame-receive"}) {
      EXPECT_EQ(c.Harness().Host().Waiting(queue), -1) << queue << " gone";
    }
    const Bytes forwarded = c.StatusThrough(TestFrames::BuildStatus({}));
    ASSERT_EQ(forwarded.size(), TestFrames::MessageSizes::Status);
    EXPECT_EQ(forwarded[TestFrames::ResponseOffsets::FailSafeByte], 0x04) << "marked: the checker is in fail-safe";
  }
}

}  // namespace
