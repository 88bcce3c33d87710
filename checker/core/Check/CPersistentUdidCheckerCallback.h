// Called by the UDID checker after it wrote the acknowledged UDIDs into the
// "corvane.dat.chk" object, so that the copy reaches the storage.
#pragma once

namespace Check {

class CPersistentUdidCheckerCallback {
 public:
  virtual ~CPersistentUdidCheckerCallback() = default;

  /// Stores "corvane.dat.chk" as it now stands.
  virtual void WriteAcknowledgedInvertedUdids() = 0;
};

}  // namespace Check
