// The one place that decides which acknowledgements are allowed at the moment:
// key medium, module UDIDs and module firmware, each manually (operator
// command) or automatically (the firmware's own acknowledgement event).
#pragma once
#include "CCorvane.h"
#include "CCorvaneCommissioner.h"
#include "Check/CFirmwareCommissioner.h"
#include "Check/CUdidCommissioner.h"
#include "CInvertedCommissioningFlagReader.h"

namespace Main {

class CDefaultCommissioner : public CCorvaneCommissioner,
                             public Check::CUdidCommissioner,
                             public Check::CFirmwareCommissioner {
 public:
  CDefaultCommissioner(const CCorvane& corvane, Param::CInvertedCommissioningFlagReader& commissioningFlags);
  ~CDefaultCommissioner() override = default;

  /// Always true.
  bool CanManuallyAcknowledgeCorvane() const override;
  /// Setup mode, else the automatic key-medium flag of the commissioning settings.
  bool CanAutomaticallyAcknowledgeCorvane() const override;
  /// The key medium is acknowledged.
  bool CanManuallyAcknowledgeUdids() const override;
  /// Setup mode.
  bool CanAutomaticallyAcknowledgeUdids() const override;
  /// The key medium is acknowledged.
  bool CanManuallyAcknowledgeFirmware() const override;
  /// Setup mode, else the automatic firmware flag of the commissioning settings.
  bool CanAutomaticallyAcknowledgeFirmware() const override;

 private:
  /// Which automatic flag of the commissioning settings is asked.
  enum class EFlag { Corvane, Firmware };
  /// Reads the commissioning settings once; absent settings give false.
  bool ReadAutomaticFlag(EFlag flag) const;

  const CCorvane& m_Corvane;                                  ///< key-medium state, not owned
  Param::CInvertedCommissioningFlagReader& m_CommissioningFlags;  ///< negated settings, not owned
};

}  // namespace Main
