// Misbehaving firmware under the two-sided harness, one fresh checker per row.
// The installed domain requires SADRs 5 and 6 and holds an acknowledged UDID
// and minor revision for 5 only. The firmware side plays the SCM's
// conversation, the host side the nodes. The control row sets 5 operational
// and the frame reaches the host plain; every other row's set-to-operational
// is refused with the check's code, the SADR and its module flags: the frame
// never reaches the host, the four frame queues are gone and a later status
// response arrives marked.
#include <gtest/gtest.h>

#include "SetToOperationalTable.h"

namespace {

using ScmTest::Bytes;
using ScmTest::ConversationFrames;
using TestFrames::Udid;
using namespace ScmTest::SetToOperationalTable;

constexpr Udid kUdid5 = {0x02, 0x5C, 0x3E, 0xA0, 0x00, 0x05};
constexpr u32 kProductCode = 0x1005;

/// Node 5 with the given UDID answer, identity and checksum upload.
std::vector<Message> Node5(const Udid& udid = kUdid5, u32 vendorId = kVendorId, u32 productCode = kProductCode,
                           u32 revision = kRevision, const Bytes& checksum = Checksum()) {
  return AssignedNode(5, kUdid5, udid, vendorId, productCode, revision, checksum);
}

TEST(CheckerInspectionTest, MisbehavingFirmwareIsStoppedAtTheSetToOperational) {
  const Bytes wrongChecksum = {0xC1, 0xC2, 0xC3, 0xC4, 0xC5, 0xC6, 0xC7, 0x00};
  const std::vector<Row> rows = {
      {"control: everything seen and acknowledged", Node5(), 5, 0, 0},
      {"an answered UDID that is not the acknowledged one", Node5(kUdidOther), 5, 0xE2D8, 0x37},
      {"the same UDID answered for 5 and 6",
       Join({Node5(), {Sent(Frames().AssignSadr(6, kUdid5)), Answer(Frames().SadrAssigned(6, kUdid5))}}), 5, 0xE2D8,
       0x1F},
      {"a minor revision never acknowledged", Node5(kUdid5, kVendorId, kProductCode, kRevision + 1), 5, 0xE2DF, 0x0F},
      {"another vendor", Node5(kUdid5, kVendorId + 1), 5, 0xE2DF, 0x07},
      {"another product", Node5(kUdid5, kVendorId, kProductCode + 1), 5, 0xE2DF, 0x07},
      {"another major", Node5(kUdid5, kVendorId, kProductCode, kRevision + 0x10000), 5, 0xE2DF, 0x07},
      {"no identity read since the assignment",
       {Sent(Frames().AssignSadr(5, kUdid5)), Answer(Frames().SadrAssigned(5, kUdid5)),
        Answer(Frames().UploadExpedited(5, 0x1018, 6, Checksum(), 23))},
       5, 0xE2DF, 0x05},
      {"an uploaded checksum other than the required one, no download",
       Node5(kUdid5, kVendorId, kProductCode, kRevision, wrongChecksum), 5, 0xE2E6, 0x03},
      {"a download whose checksum record differs",
       Join({Node5(kUdid5, kVendorId, kProductCode, kRevision, wrongChecksum),
             {Sent(Frames().DownloadExpedited(5, 0x101A, 0, ConversationFrames::Record(0x1018, 6, wrongChecksum), 30))}}),
       5, 0xE2E6, 0x03},
      {"a SADR never assigned", {}, 6, 0xE2D8, 0x01},
      {"re-assigned without a fresh answer", Join({Node5(), {Sent(Frames().AssignSadr(5, kUdid5))}}), 5, 0xE2D8, 0x3F},
      {"before the key medium is acknowledged", Node5(), 5, 0xE249, 0, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    ExpectRow(row, InstalledOptions(TwoNodeDomain(5, kUdid5, kProductCode), row.keyMediumAcknowledged));
  }
}

}  // namespace
