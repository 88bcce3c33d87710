// The firmware as it starts and cycles, for the fuzz targets of its input
// surfaces: the in-memory platform and firmware state of the firmware unit
// tests, the demo description's generated files loaded through EPS_Init, and
// the lock-step run of its cycle against the simulated nodes (sim/lockstep),
// with the host's microsecond counter advanced per cycle.
#pragma once
#include <memory>
#include <vector>

#include "FuzzTarget.h"
#include "FwUnitSupport.h"
#include "LockStepRun.h"

namespace ScmFuzz {

/// One started firmware; a fatal event in any cycle is a finding.
class FirmwareUnderFuzz {
 public:
  /// Starts the firmware on the demo description; with silentNodes no node ever answers.
  explicit FirmwareUnderFuzz(bool silentNodes);
  ~FirmwareUnderFuzz();
  FirmwareUnderFuzz(const FirmwareUnderFuzz&) = delete;
  FirmwareUnderFuzz& operator=(const FirmwareUnderFuzz&) = delete;

  /// One firmware cycle; then every event is read and a fatal one reported as a finding.
  void Cycle();
  /// Puts bytes on a firmware-side queue as they stand (false when the queue refused them).
  bool PutRaw(const char* suffix, const Bytes& bytes);
  /// Puts a plain frame complemented on "frame-send", as the checker does.
  bool PutFrame(const Bytes& plain);
  /// Waiting messages of a firmware-side queue as they stand, consumed.
  std::vector<Bytes> TakeRaw(const char* suffix);
  /// The run over the started firmware.
  SimLockStep::LockStepRun& Run() { return *run_; }

 private:
  /// The firmware unit tests' platform and state reset.
  struct Platform : FwTest::FwFixture {
    void TestBody() override {}
  };
  Platform platform_;                             ///< queues, host stand-in, firmware state
  std::unique_ptr<SimLockStep::LockStepRun> run_;  ///< the lock-step run
  void CheckEvents(const char* when);
};

/// The complement of every byte.
Bytes Complemented(Bytes bytes);

}  // namespace ScmFuzz
