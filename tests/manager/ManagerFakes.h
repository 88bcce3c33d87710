// Test-side implementations of what the configuration manager and its masters
// require of their user: the error callback, the transmit blocks, the SCM's
// application callbacks and doubles of the own node's request processors.
#pragma once
#include <cstddef>
#include <functional>
#include <set>
#include <vector>

#include "ScmTypes.h"

namespace MgrTest {

using Bytes = std::vector<u8>;  ///< a byte sequence

/// One error report of the stack.
struct ErrorReport {
  u16 code;  ///< stack error code
  u32 info;  ///< additional info
};

/// One status report of a node.
struct StatusReport {
  u16 sadr;   ///< SADR of the node
  u8 oldSt;   ///< status before
  u8 newSt;   ///< status after
};

/// One SN failure report.
struct SnFailReport {
  u16 sadr;   ///< SADR of the node
  u8 group;   ///< error group
  u8 code;    ///< error code
  u16 fsm;    ///< FSM index
};

/// One UDID mismatch report.
struct MismatchReport {
  u16 sadr;   ///< SADR of the node
  Bytes udid; ///< UDID the node reported
  u16 fsm;    ///< FSM index
};

/// One frame that left through the transmit-block fake, in queue form.
struct SentFrame {
  u8 type;      ///< telegram type
  Bytes bytes;  ///< ONE then TWO
};

/// State of every fake.
struct Fakes {
  std::vector<ErrorReport> errors;          ///< every error report
  std::vector<StatusReport> statuses;       ///< every status report
  std::vector<SnFailReport> snFails;        ///< every SN failure report
  std::vector<MismatchReport> mismatches;   ///< every UDID mismatch report
  std::vector<SentFrame> sent;              ///< every frame sent
  u32 blockRequests = 0;                    ///< block requests
  u32 releases = 0;                         ///< blocks given back unsent
  bool refuseBlock = false;                 ///< next block requests are refused
  bool refuseSend = false;                  ///< marks report "not sent"
  bool out = false;                         ///< a block is out
  u16 outLength = 0;                        ///< its length
  u8 outType = 0;                           ///< its type
  u8 buffer[521] = {};                      ///< the one block
  std::set<u16> skipSadr;                   ///< SADRs that SAPL_ScmProcessSn refuses
  std::vector<u16> processed;               ///< SADR of every SAPL_ScmProcessSn call
  bool revisionOk = true;                   ///< overrides the revision compare when false
  bool immediateAck = true;                 ///< SN failures 4/1 and 4/4 are acknowledged at once
  u64 initialCt = 0;                        ///< value of SAPL_SCM_GetInitialCtValueClbk
  std::vector<u32> revisionCalls;           ///< received revisions handed to the callback
  u8 freeSlots = 10;                        ///< free slots of the outgoing frame queue (pump runs)
  std::vector<Bytes> rx;                    ///< frames waiting on the incoming frame queue (pump runs)
  std::vector<u32> events;                  ///< platform events registered (pump runs)
};
/// The fakes.
extern Fakes g_fakes;
/// Back to the defaults.
void ResetFakes();
/// Highest error code reported (0 when none).
u16 MaxErrorCode();
/// True when the code was reported.
bool HasError(u16 code);
/// Number of reports of the code.
std::size_t CountError(u16 code);

/// Turns a transmit block (TWO then ONE) into queue form, as the frame pump does.
Bytes BlockToQueue(const u8* block, u16 length, u8 type);

}  // namespace MgrTest
