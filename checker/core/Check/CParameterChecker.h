// What the parameter-checksum inspector asks: per SADR, whether the checksum
// seen on the network is the one the node list requires. Checksums are handed
// over complemented.
#pragma once
#include "ScmTypes.h"

namespace Check {

class CParameterChecker {
 public:
  virtual ~CParameterChecker() = default;

  /// The checksum seen for sadr (length bytes, complemented); kept until removed.
  virtual void AddDiscoveredModule(u16 sadr, u32 length, const u8* invertedChecksum) = 0;
  /// Forgets the checksum seen for sadr.
  virtual void RemoveDiscoveredModule(u16 sadr) = 0;
  /// The node list names a checksum for sadr.
  virtual bool IsRequiredModule(u16 sadr) const = 0;
  /// A checksum was seen for sadr.
  virtual bool IsDiscoveredModule(u16 sadr) const = 0;
  /// The checksum seen equals the required one.
  virtual bool IsCompatibleModule(u16 sadr) const = 0;
  /// sadr may go operational as far as its checksum goes.
  virtual bool IsValidModule(u16 sadr) const = 0;
};

}  // namespace Check
