#include "SetToOperationalTable.h"

#include <gtest/gtest.h>

#include <utility>

namespace ScmTest::SetToOperationalTable {

const Bytes& Checksum() {
  static const Bytes checksum = {0xC1, 0xC2, 0xC3, 0xC4, 0xC5, 0xC6, 0xC7, 0xC8};
  return checksum;
}

const ConversationFrames& Frames() {
  static const ConversationFrames frames(kSdn, 1, kScmUdid);
  return frames;
}

ScmGen::Domain TwoNodeDomain(u16 sadr, const Udid& udid, u32 productCode) {
  ScmGen::Domain d;
  d.sdn = kSdn;
  for (u16 node : {sadr, static_cast<u16>(sadr + 1)}) {
    ScmGen::Node n;
    n.sadr = node;
    n.udid = node == sadr ? udid : Udid{};
    n.vendorId = kVendorId;
    n.productCode = node == sadr ? productCode : productCode + 1;
    n.revision = kRevision;
    n.checksum = Checksum();
    n.parameterSet = ConversationFrames::Record(0x1018, 6, Checksum());
    n.timestamp = 0x20260000u + node;
    d.nodes.push_back(n);
  }
  d.fwRevCnf = ScmGen::FwRevCnf{};
  d.fwRevCnf->entries = {{sadr, static_cast<u16>(kRevision & 0xFFFF)}};
  d.fwRevCnf->qorUdid = ScmSim::HostConfig{}.qorUdid;
  return d;
}

CheckerHarnessOptions InstalledOptions(const ScmGen::Domain& domain, bool keyMediumAcknowledged) {
  return keyMediumAcknowledged ? InstalledDomainOptions(domain) : UnacknowledgedKeyMediumOptions(domain);
}

Message Sent(TestFrames::FrameSpec frame) { return {true, std::move(frame)}; }

Message Answer(TestFrames::FrameSpec frame) { return {false, std::move(frame)}; }

std::vector<Message> Join(std::initializer_list<std::vector<Message>> parts) {
  std::vector<Message> all;
  for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

std::vector<Message> AssignedNode(u16 sadr, const Udid& udid, const Udid& answered, u32 vendorId, u32 productCode,
                                  u32 revision, const Bytes& checksum) {
  const ConversationFrames& f = Frames();
  return {Sent(f.AssignSadr(sadr, udid)),
          Answer(f.SadrAssigned(sadr, answered)),
          Answer(f.UploadExpedited(sadr, 0x1018, 1, ConversationFrames::U32(vendorId), 20)),
          Answer(f.UploadExpedited(sadr, 0x1018, 2, ConversationFrames::U32(productCode), 21)),
          Answer(f.UploadExpedited(sadr, 0x1018, 3, ConversationFrames::U32(revision), 22)),
          Answer(f.UploadExpedited(sadr, 0x1018, 6, checksum, 23))};
}

void ExpectRow(const Row& row, const CheckerHarnessOptions& options) {
  NodeConversation c(options, Frames());
  if (!c.Started()) return;
  for (const Message& m : row.conversation) {
    EXPECT_TRUE(m.sent ? c.FirmwareSends(m.frame) : c.NodeAnswers(m.frame));
  }
  const bool passed = c.FirmwareSends(Frames().SetToOp(row.sadr));
  const auto log = c.Harness().CollectLog();
  if (row.code == 0) {
    EXPECT_TRUE(passed) << "the frame arrives plain";
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(c.Harness().Host().Waiting("frame-receive"), 0) << "not fail-safe";
    return;
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

}  // namespace ScmTest::SetToOperationalTable
