// Fixture of the firmware application's unit tests: the in-memory platform of
// FwFixture, the real object list started through EPS_Init over a key file
// built from parameter records, and small helpers to arrange module entries
// and drive the callbacks as the cyclic task does.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "FwUnitSupport.h"
#include "MFWQZ.h"
#include "ApplicationFileBuilders.h"
#include "ParameterFileBuilders.h"
#include "SOD.h"
#include "ScmProfile.h"

namespace FwTest {

/// A record of a configuration flag array, by its sub-index of 0x2106 (1, 2, 3 or 8);
/// the older release's list holds these arrays as 0xD000/1-4.
inline TestFiles::Record ConfigArrayRecord(uint8_t sub, std::vector<uint8_t> bytes) {
  if constexpr (SCM_kLegacy) {
    return TestFiles::Record{0xD000, static_cast<uint8_t>(sub == 8 ? 4 : sub), std::move(bytes)};
  } else {
    return TestFiles::Record{0x2106, sub, std::move(bytes)};
  }
}

/// A module's invalid toggle; the older release's record has none (0), and setting it does nothing there.
template <typename Entry = MFWQZ_ModuleInfoEntry>
uint8_t InvalidToggle(uint16_t sadr) {
  if constexpr (SCM_kLegacy) {
    return 0;
  } else {
    return static_cast<Entry&>(MFWQZ_ModuleInfo[sadr]).ucInvalidToggle;
  }
}
template <typename Entry = MFWQZ_ModuleInfoEntry>
void SetInvalidToggle(uint16_t sadr, uint8_t toggle) {
  if constexpr (!SCM_kLegacy) {
    static_cast<Entry&>(MFWQZ_ModuleInfo[sadr]).ucInvalidToggle = toggle;
  }
}

/// A 128-byte per-SADR array with the given SADRs marked.
std::vector<uint8_t> SadrArray(const std::vector<uint16_t>& sadrs);

class AppFixture : public FwFixture {
 public:
  void SetUp() override;
  void TearDown() override;
  /// Starts the firmware's object list over a key file of these records (drains the events).
  void StartObjectList(const std::vector<TestFiles::Record>& records);
  /// Replaces the object list by a table of the test's own (no virtual objects).
  void UseTable(const SOD_Entry* table);
  /// Marks SADRs configured with the given node state; reports count from now on.
  static void Configure(const std::vector<uint16_t>& sadrs, uint32_t nodeState = 255);
  /// The host's target id as the firmware reads it (product code, serial number, little-endian).
  std::array<uint8_t, 8> HostTargetId() const;
  /// A commissioned domain's files on the host: "fwrevcnf.bin" accepting these revisions,
  /// the Qor UDID and the host's target id (flags 0x07); an empty "autocnf.bin"; "corvane.uid"
  /// for the Qor UDID and flash area 16 equal to it. Write opens create files.
  void InstallFiles(const std::vector<TestFiles::RevisionEntry>& revisions, const TestFiles::Udid& qorUdid);
  /// A status report as the SCM makes it from the cyclic task.
  static void Report(uint16_t sadr, uint8_t oldStatus, uint8_t newStatus);

 private:
  std::vector<uint8_t> kel_;            ///< the key file the object list points into
  const SOD_Entry* savedOd_ = nullptr;  ///< the firmware's real table
  const SOD_VirtRange* savedVirt_ = nullptr;  ///< the firmware's virtual ranges
  bool swapped_ = false;                ///< UseTable replaced the table
};

}  // namespace FwTest
