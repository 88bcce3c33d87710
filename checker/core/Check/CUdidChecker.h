// What the UDID inspector tells and asks: per SADR, the UDID the node answered
// with, its encoder reports and whether the module may go operational. UDIDs
// are handed over complemented.
#pragma once
#include "ScmTypes.h"

namespace Check {

class CUdidChecker {
 public:
  virtual ~CUdidChecker() = default;

  /// The UDID (6 bytes, complemented) the node at sadr answered with.
  virtual void AddDiscoveredModule(u16 sadr, const u8* invertedUdid) = 0;
  /// Forgets the UDID discovered for sadr.
  virtual void RemoveDiscoveredModule(u16 sadr) = 0;
  /// The SCM acknowledged the node's report of an inconsistent module.
  virtual void AddDiscoveredEncoder(u16 sadr) = 0;
  /// The node reported an inconsistent module.
  virtual void RemoveDiscoveredEncoder(u16 sadr) = 0;
  /// Required and discovered SADRs that are not both matching and consistent.
  virtual u32 GetUnacknowledgedModuleCount() const = 0;
  /// Acknowledges every required, discovered module when count is the unacknowledged count.
  virtual bool TryAcknowledgeModules(u32 count) = 0;
  /// sadr is in the SCM's node list.
  virtual bool IsRequiredModule(u16 sadr) const = 0;
  /// A UDID is acknowledged for sadr.
  virtual bool IsAcknowledgedModule(u16 sadr) const = 0;
  /// A UDID for sadr is known from the network.
  virtual bool IsDiscoveredModule(u16 sadr) const = 0;
  /// Required, acknowledged, and the discovered UDID is the acknowledged one.
  virtual bool IsMatchingModule(u16 sadr) const = 0;
  /// No unacknowledged report of an inconsistent module since discovery.
  virtual bool IsConsistentModule(u16 sadr) const = 0;
  /// No other discovered SADR has the same UDID.
  virtual bool IsUniqueModule(u16 sadr) const = 0;
  /// Matching, consistent and unique.
  virtual bool IsValidModule(u16 sadr) const = 0;
};

}  // namespace Check
