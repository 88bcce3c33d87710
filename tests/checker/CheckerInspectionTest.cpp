// Misbehaving firmware under the two-sided harness, one fresh checker per row.
// The installed domain requires SADRs 5 and 6 and holds an acknowledged UDID
// and minor revision for 5 only. The firmware side plays the SCM's
// conversation, the host side the nodes. The control row sets 5 operational
// and the frame reaches the host plain; every other row's set-to-operational
// is refused with the check's code, the SADR and its module flags: the frame
// never reaches the host, the four frame queues are gone and a later status
// response arrives marked.
#include <gtest/gtest.h>

#include <functional>

#include "MessageBuilder.h"
#include "NodeConversation.h"

namespace {

using ScmTest::Bytes;
using ScmTest::ConversationFrames;
using ScmTest::NodeConversation;
using TestFrames::Udid;

constexpr u16 kSdn = 42;
constexpr Udid kScmUdid = {0x02, 0x5C, 0x3E, 0x10, 0x20, 0x31};  ///< the host's Qor UDID plus one
constexpr Udid kUdid5 = {0x02, 0x5C, 0x3E, 0xA0, 0x00, 0x05};
constexpr Udid kUdid6 = {0x02, 0x5C, 0x3E, 0xA0, 0x00, 0x06};
constexpr Udid kUdidOther = {0x02, 0x5C, 0x3E, 0xA0, 0x00, 0x99};
constexpr u32 kVendorId = 0x0025C3E0;
constexpr u32 kProductCode = 0x1005;
constexpr u32 kRevision = 0x00020005;  ///< major 2, minor 5
const Bytes kChecksum = {0xC1, 0xC2, 0xC3, 0xC4, 0xC5, 0xC6, 0xC7, 0xC8};

const ConversationFrames kFrames(kSdn, 1, kScmUdid);

/// Nodes 5 and 6 in the node list; 5's UDID and minor revision acknowledged, 6's UDID unknown.
ScmGen::Domain Domain() {
  ScmGen::Domain d;
  d.sdn = kSdn;
  for (u16 sadr : {5, 6}) {
    ScmGen::Node n;
    n.sadr = sadr;
    n.udid = sadr == 5 ? kUdid5 : Udid{};
    n.vendorId = kVendorId;
    n.productCode = sadr == 5 ? kProductCode : kProductCode + 1;
    n.revision = kRevision;
    n.checksum = kChecksum;
    n.parameterSet = ConversationFrames::Record(0x1018, 6, kChecksum);
    n.timestamp = 0x20260000u + sadr;
    d.nodes.push_back(n);
  }
  d.fwRevCnf = ScmGen::FwRevCnf{};
  d.fwRevCnf->entries = {{5, static_cast<u16>(kRevision & 0xFFFF)}};
  d.fwRevCnf->qorUdid = ScmSim::HostConfig{}.qorUdid;
  return d;
}

/// One step of the conversation: a frame the firmware sends or the node answers.
struct Message {
  bool sent;              ///< true: from the firmware; false: from the node
  TestFrames::FrameSpec frame;
};
Message Sent(TestFrames::FrameSpec f) { return {true, std::move(f)}; }
Message Answer(TestFrames::FrameSpec f) { return {false, std::move(f)}; }

std::vector<Message> Identity(u16 sadr, u32 vendorId, u32 productCode, u32 revision) {
  return {Answer(kFrames.UploadExpedited(sadr, 0x1018, 1, ConversationFrames::U32(vendorId), 20)),
          Answer(kFrames.UploadExpedited(sadr, 0x1018, 2, ConversationFrames::U32(productCode), 21)),
          Answer(kFrames.UploadExpedited(sadr, 0x1018, 3, ConversationFrames::U32(revision), 22))};
}

std::vector<Message> Join(std::initializer_list<std::vector<Message>> parts) {
  std::vector<Message> all;
  for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

/// Node 5 with the given UDID answer, identity and checksum upload.
std::vector<Message> Node5(const Udid& udid = kUdid5, u32 vendorId = kVendorId, u32 productCode = kProductCode,
                           u32 revision = kRevision, const Bytes& checksum = kChecksum) {
  return Join({{Sent(kFrames.AssignSadr(5, kUdid5)), Answer(kFrames.SadrAssigned(5, udid))},
               Identity(5, vendorId, productCode, revision),
               {Answer(kFrames.UploadExpedited(5, 0x1018, 6, checksum, 23))}});
}

struct Row {
  const char* name;
  std::vector<Message> conversation;  ///< before the set-to-operational
  u16 sadr;                           ///< set to operational of this SADR
  u16 code;                           ///< 0: accepted
  u32 flags;                          ///< information1 of the record
  bool keyMediumAcknowledged = true;  ///< flash area 16 equals "corvane.uid"
};

TEST(CheckerInspectionTest, MisbehavingFirmwareIsStoppedAtTheSetToOperational) {
  const Bytes wrongChecksum = {0xC1, 0xC2, 0xC3, 0xC4, 0xC5, 0xC6, 0xC7, 0x00};
  const std::vector<Row> rows = {
      {"control: everything seen and acknowledged", Node5(), 5, 0, 0},
      {"an answered UDID that is not the acknowledged one", Node5(kUdidOther), 5, 0xE2D8, 0x37},
      {"the same UDID answered for 5 and 6",
       Join({Node5(), {Sent(kFrames.AssignSadr(6, kUdid5)), Answer(kFrames.SadrAssigned(6, kUdid5))}}), 5, 0xE2D8,
       0x1F},
      {"a minor revision never acknowledged", Node5(kUdid5, kVendorId, kProductCode, kRevision + 1), 5, 0xE2DF, 0x0F},
      {"another vendor", Node5(kUdid5, kVendorId + 1), 5, 0xE2DF, 0x07},
      {"another product", Node5(kUdid5, kVendorId, kProductCode + 1), 5, 0xE2DF, 0x07},
      {"another major", Node5(kUdid5, kVendorId, kProductCode, kRevision + 0x10000), 5, 0xE2DF, 0x07},
      {"no identity read since the assignment",
       {Sent(kFrames.AssignSadr(5, kUdid5)), Answer(kFrames.SadrAssigned(5, kUdid5)),
        Answer(kFrames.UploadExpedited(5, 0x1018, 6, kChecksum, 23))},
       5, 0xE2DF, 0x05},
      {"an uploaded checksum other than the required one, no download",
       Node5(kUdid5, kVendorId, kProductCode, kRevision, wrongChecksum), 5, 0xE2E6, 0x03},
      {"a download whose checksum record differs",
       Join({Node5(kUdid5, kVendorId, kProductCode, kRevision, wrongChecksum),
             {Sent(kFrames.DownloadExpedited(5, 0x101A, 0, ConversationFrames::Record(0x1018, 6, wrongChecksum), 30))}}),
       5, 0xE2E6, 0x03},
      {"a SADR never assigned", {}, 6, 0xE2D8, 0x01},
      {"re-assigned without a fresh answer", Join({Node5(), {Sent(kFrames.AssignSadr(5, kUdid5))}}), 5, 0xE2D8, 0x3F},
      {"before the key medium is acknowledged", Node5(), 5, 0xE249, 0, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const ScmGen::Domain domain = Domain();
    NodeConversation c(row.keyMediumAcknowledged ? ScmTest::InstalledDomainOptions(domain)
                                                 : ScmTest::UnacknowledgedKeyMediumOptions(domain),
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
    TestFrames::StatusSpec status;
    const Bytes forwarded = c.StatusThrough(TestFrames::BuildStatus(status));
    ASSERT_EQ(forwarded.size(), TestFrames::MessageSizes::Status);
    EXPECT_EQ(forwarded[TestFrames::ResponseOffsets::FailSafeByte] & 0x04, 0x04) << "marked: the checker is in fail-safe";
  }
}

}  // namespace
