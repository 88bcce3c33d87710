// Called by the firmware checker after it wrote the acknowledged minor
// revisions into the "fwrevcnf.bin.chk" object, so that the copy reaches the storage.
#pragma once

namespace Check {

class CPersistentFirmwareCheckerCallback {
 public:
  virtual ~CPersistentFirmwareCheckerCallback() = default;

  /// Stores "fwrevcnf.bin.chk" as it now stands.
  virtual void WriteAcknowledgedInvertedMinorRevisions() = 0;
};

}  // namespace Check
