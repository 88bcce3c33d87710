// A misbehaving older firmware under scmchecker-legacy and the two-sided
// harness, one fresh checker per row, on an installed domain whose nodes have
// SADRs above 12 (13 and 14; 13's UDID and minor revision acknowledged, 14's
// UDID unknown), the key-medium identity in Qor variable 4. The control row
// sets 13 operational and the frame reaches the host plain and unrecorded;
// every other set-to-operational is refused with the check's code, the SADR
// and its module flags: the frame never reaches the host, the four frame
// queues are gone and a later status response arrives marked.
#include <gtest/gtest.h>

#include "SetToOperationalTable.h"

namespace {

using TestFrames::Udid;
using namespace ScmTest::SetToOperationalTable;

constexpr Udid kUdid13 = {0x02, 0x5C, 0x3E, 0xA0, 0x00, 0x13};
constexpr u32 kProductCode = 0x1013;

/// Node 13 assigned, with the given UDID answer, its identity and checksum upload.
std::vector<Message> Node13(const Udid& udid = kUdid13, u32 revision = kRevision) {
  return AssignedNode(13, kUdid13, udid, kVendorId, kProductCode, revision, Checksum());
}

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
    ExpectRow(row, ScmTest::LegacyCheckerOptions(
                       InstalledOptions(TwoNodeDomain(13, kUdid13, kProductCode), row.keyMediumAcknowledged)));
  }
}

}  // namespace
