// Why a node is not operational, in words, from what the host saw of it: the
// identity values the firmware read beside the ones its node list expects, a
// UDID that differs, an SN FAIL, busy answers, silence, or the end of its
// operational time.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "DemoDomain.h"
#include "HostEvents.h"
#include "NodeRecord.h"

namespace ScmDemo {

/// The reason a node is not operational ("vendor id read 0x... expected 0x...; ..."); empty when
/// the host sees it operational or sees nothing that explains it yet.
std::string NotOperationalReason(const PlannedNode& planned, const SimNodes::NodeRecord& record);

/// The firmware's own word on one node: the SADR and the words for the events
/// that name a node (module missing, invalid, parameters refused, firmware
/// revision difference, extended CT failed, the configuration manager restarting
/// it or an SSDO transfer it aborted); none for other events.
struct NodeEvent {
  uint16_t sadr = 0;  ///< the node the firmware names
  std::string text;   ///< "firmware: module invalid", ...
};
std::optional<NodeEvent> NodeEventOf(const ScmSim::EventRecord& record);

}  // namespace ScmDemo
