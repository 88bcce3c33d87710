// What the firmware-version inspector asks: per SADR, whether the identity the
// SCM read from the node is compatible with the node list and its minor
// revision the acknowledged one. Values are handed over complemented.
#pragma once
#include "ScmTypes.h"

namespace Check {

class CFirmwareChecker {
 public:
  virtual ~CFirmwareChecker() = default;

  /// The identity read for sadr, every value complemented; kept until removed.
  virtual void AddDiscoveredModule(u16 sadr, u32 invertedVendorId, u32 invertedProductCode, u16 invertedRevisionHigh,
                                   u16 invertedRevisionLow) = 0;
  /// Forgets the identity read for sadr.
  virtual void RemoveDiscoveredModule(u16 sadr) = 0;
  /// Acknowledges the minor revision of every compatible module and stores the acknowledgements.
  virtual bool TryAcknowledgeModules() = 0;
  /// The node list names an identity for sadr.
  virtual bool IsRequiredModule(u16 sadr) const = 0;
  /// A minor revision is acknowledged for sadr.
  virtual bool IsAcknowledgedModule(u16 sadr) const = 0;
  /// An identity was read for sadr.
  virtual bool IsDiscoveredModule(u16 sadr) const = 0;
  /// The identity read fits the node list (same vendor, product and major, minor at least the required).
  virtual bool IsCompatibleModule(u16 sadr) const = 0;
  /// Compatible, and the minor revision read is the acknowledged one.
  virtual bool IsMatchingModule(u16 sadr) const = 0;
  /// sadr may go operational as far as its firmware goes.
  virtual bool IsValidModule(u16 sadr) const = 0;
};

}  // namespace Check
