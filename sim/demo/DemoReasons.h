// Why a node is not operational, in words, from what the host saw of it: the
// identity values the firmware read beside the ones its node list expects, a
// UDID that differs, an SN FAIL, busy answers, silence, or the end of its
// operational time.
#pragma once

#include <string>

#include "DemoDomain.h"
#include "NodeRecord.h"

namespace ScmDemo {

/// The reason a node is not operational ("vendor id read 0x... expected 0x...; ..."); empty when
/// the host sees it operational or sees nothing that explains it yet.
std::string NotOperationalReason(const PlannedNode& planned, const SimNodes::NodeRecord& record);

}  // namespace ScmDemo
