// Fixture of the firmware application's unit tests: the in-memory platform of
// FwFixture, the real object list started through EPS_Init over a key file
// built from parameter records, and small helpers to arrange module entries
// and drive the callbacks as the cyclic task does.
#pragma once

#include <cstdint>
#include <vector>

#include "FwUnitSupport.h"
#include "MFWQZ.h"
#include "ParameterFileBuilders.h"
#include "SOD.h"

namespace FwTest {

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
  /// A status report as the SCM makes it from the cyclic task.
  static void Report(uint16_t sadr, uint8_t oldStatus, uint8_t newStatus);

 private:
  std::vector<uint8_t> kel_;            ///< the key file the object list points into
  const SOD_Entry* savedOd_ = nullptr;  ///< the firmware's real table
  const SOD_VirtRange* savedVirt_ = nullptr;  ///< the firmware's virtual ranges
  bool swapped_ = false;                ///< UseTable replaced the table
};

}  // namespace FwTest
