// The fixture of the misbehaving-firmware tables that both checker builds run
// under the two-sided harness, one fresh checker per row: an installed domain
// of two nodes, the first with its UDID and minor revision acknowledged, the
// second's UDID unknown; the steps of the SCM's conversation with its nodes;
// and the check of one row, which ends with the set-to-operational. The
// control row's frame reaches the host plain; every other row's is refused
// with the check's code, the SADR and its module flags: the frame never
// reaches the host, the four frame queues are gone and a later status
// response arrives marked.
#pragma once
#include <initializer_list>
#include <vector>

#include "MessageBuilder.h"
#include "NodeConversation.h"

namespace ScmTest::SetToOperationalTable {

using TestFrames::Udid;

constexpr u16 kSdn = 42;                                           ///< the domain
constexpr Udid kScmUdid = {0x02, 0x5C, 0x3E, 0x10, 0x20, 0x31};    ///< the host's Qor UDID plus one
constexpr Udid kUdidOther = {0x02, 0x5C, 0x3E, 0xA0, 0x00, 0x99};  ///< a UDID no node of the domain has
constexpr u32 kVendorId = 0x0025C3E0;                              ///< both nodes' vendor
constexpr u32 kRevision = 0x00020005;                              ///< both nodes' revision: major 2, minor 5

/// The parameter checksum both nodes require.
const Bytes& Checksum();
/// The domain's frames, the SCM at SADR 1.
const ConversationFrames& Frames();

/// Nodes sadr and sadr + 1 in the node list with product codes productCode and
/// productCode + 1; sadr's UDID (udid) and minor revision acknowledged, the other's UDID unknown.
ScmGen::Domain TwoNodeDomain(u16 sadr, const Udid& udid, u32 productCode);
/// The harness options of the domain installed with its key medium acknowledged or not.
CheckerHarnessOptions InstalledOptions(const ScmGen::Domain& domain, bool keyMediumAcknowledged);

/// One step of the conversation: a frame the firmware sends or the node answers.
struct Message {
  bool sent;                    ///< true: from the firmware; false: from the node
  TestFrames::FrameSpec frame;  ///< the frame
};
/// A frame the firmware sends.
Message Sent(TestFrames::FrameSpec frame);
/// A frame the node answers.
Message Answer(TestFrames::FrameSpec frame);
/// The parts one after the other.
std::vector<Message> Join(std::initializer_list<std::vector<Message>> parts);
/// Node sadr assigned with udid, answering with answered, then its vendor id, product code and
/// revision uploads (transactions 20 to 22) and its checksum upload (transaction 23).
std::vector<Message> AssignedNode(u16 sadr, const Udid& udid, const Udid& answered, u32 vendorId, u32 productCode,
                                  u32 revision, const Bytes& checksum);

/// One row of the table.
struct Row {
  const char* name;                   ///< the misbehaviour
  std::vector<Message> conversation;  ///< before the set-to-operational
  u16 sadr;                           ///< set to operational of this SADR
  u16 code;                           ///< 0: accepted
  u32 flags;                          ///< information1 of the record
  bool keyMediumAcknowledged = true;  ///< the controller's key-medium identity equals "corvane.uid"
};

/// Starts a fresh checker on options, plays the row's conversation, sends the row's
/// set-to-operational and checks what follows as the header says.
void ExpectRow(const Row& row, const CheckerHarnessOptions& options);

}  // namespace ScmTest::SetToOperationalTable
