// What the host can see of a simulated node: its state, the requests it got
// and answered by service, the moments of assignment and operational, its
// guard answers and the faults that changed an answer. Tests check this record.
#pragma once
#include <array>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ScmTypes.h"

namespace SimNodes {

/// SN state of a simulated node.
enum class NodeState : u8 {
  Unassigned,      ///< pre-operational, no SADR
  WaitScmUdid,     ///< SADR taken, waiting for the SCM UDID
  PreOperational,  ///< configured, waiting for set-to-operational
  Operational      ///< operational and guarded
};

/// Name of a state ("unassigned", "wait-scm-udid", "pre-operational", "operational").
std::string_view StateName(NodeState state);

/// Requests a node can receive, by service.
enum class Service : u8 {
  UdidRequest,     ///< SNMT 0x28
  AssignSadr,      ///< SNMT 0x2A
  SetPreOp,        ///< SNMT service 0x00
  SetOp,           ///< SNMT service 0x02
  ScmStop,         ///< SNMT service 0x04
  ScmOperational,  ///< SNMT service 0x06
  Guard,           ///< SNMT service 0x08
  AddSadr,         ///< SNMT service 0x0A
  ErrorAck,        ///< SNMT service 0x0C
  AssignScmUdid,   ///< SNMT service 0x0E
  ExtCt,           ///< SNMT service 0x10
  SnmtOther,       ///< any other SNMT request
  SsdoUpload,      ///< SSDO upload initiate 0x20
  SsdoDownload,    ///< SSDO download initiate 0x21, 0x29, 0x2B
  SsdoSegment,     ///< SSDO upload or download segment
  SsdoAbort,       ///< SSDO abort 0x04
  SsdoOther,       ///< any other SSDO command
  Count            ///< number of services
};

/// Number of services.
constexpr std::size_t kServiceCount = static_cast<std::size_t>(Service::Count);

/// Name of a service ("udid", "assign-sadr", "pre-op", "set-op", ...).
std::string_view ServiceName(Service service);

/// The service a request with this id and payload asks for.
Service ClassifyRequest(u8 id, const std::vector<u8>& payload);

/// When something happened, as the host counts it.
struct Moment {
  u64 cycle = 0;   ///< host cycle
  u64 timeUs = 0;  ///< host time in microseconds
};

/// Counts of one service.
struct ServiceCount {
  u32 received = 0;  ///< requests decoded for this node
  u32 answered = 0;  ///< answers sent
};

/// Whether both sides agree the node is operational: its own state says so and nothing
/// ended its operational time since its last operational answer.
bool HostSeesOperational(const struct NodeRecord& record);

/// The per-node record.
struct NodeRecord {
  NodeState state = NodeState::Unassigned;          ///< current SN state
  u16 sadr = 0;                                     ///< SADR taken from the assignment (0 = none)
  u16 sdn = 0;                                      ///< domain number taken from the assignment (0 = none)
  std::array<ServiceCount, kServiceCount> services{};  ///< per service, indexed by Service
  std::optional<Service> lastRequest;               ///< service of the last decoded request
  Moment lastRequestAt;                             ///< when it came
  u32 framesReceived = 0;                           ///< frames handed to the node
  u32 framesDropped = 0;                            ///< frames that failed the frame checks or are no request
  u32 requestsUnanswered = 0;                       ///< decoded requests that ask for an answer left without one
  u32 framesSent = 0;                               ///< answers and reset-guarding frames sent
  u32 resetGuardingSent = 0;                        ///< reset-guarding frames sent
  std::optional<Moment> assignedAt;                 ///< last SADR assignment taken
  std::optional<Moment> operationalAt;              ///< last operational answer
  u32 operationalCount = 0;                         ///< set-to-operational answers that began an operational time
  /// The last end of an operational time as the host sees it: a UDID, assign-SADR or SCM-UDID
  /// request to the node after its operational answer, or a life time without guard requests.
  std::optional<Moment> operationalEndedAt;
  std::string operationalEndedBy;                   ///< what ended it ("assign-sadr request", "guarding stopped")
  u32 operationalEndedFrame = 0;                    ///< number of the node's received frame that ended it (0 = none)
  u32 operationalEnds = 0;                          ///< operational times ended so far
  u32 guardAnswers = 0;                             ///< guard requests answered in operational
  u32 lifeTimeLosses = 0;                           ///< times guarding ran out
  u32 busyAnswers = 0;                              ///< busy answers sent
  u32 snFailsSent = 0;                              ///< SN FAIL answers sent
  std::optional<std::array<u8, 2>> pendingSnFail;   ///< (group, code) of the last SN FAIL not acknowledged
  u32 acksAccepted = 0;                             ///< SN error acknowledges that matched
  u32 acksRefused = 0;                              ///< SN error acknowledges with other bytes or none due
  u32 downloadsComplete = 0;                        ///< parameter downloads to 0x101A/0 completed
  u32 downloadsMatching = 0;                        ///< of them, the described set
  u32 additionalSetsReceived = 0;                   ///< additional sets taken after SN FAIL group 5
  u32 abortsSent = 0;                               ///< SSDO abort answers sent
  u32 repeatRequests = 0;                           ///< preload repeat requests sent on a sequence gap
  std::map<std::string, u32> faultsApplied;         ///< fault name -> answers it changed
  std::map<u8, std::vector<u8>> identityRead;       ///< 0x1018 sub-index -> the value last uploaded since the last end of an operational time (what the firmware read)
  u32 busyAnswersAtLastEnd = 0;                     ///< busyAnswers when the last operational time ended
  u32 requestsUnansweredAtLastEnd = 0;              ///< requestsUnanswered when the last operational time ended
};

}  // namespace SimNodes
