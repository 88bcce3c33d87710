#include "CDefaultCommissioner.h"

namespace Main {

CDefaultCommissioner::CDefaultCommissioner(const CCorvane& corvane,
                                           Param::CInvertedCommissioningFlagReader& commissioningFlags)
    : m_Corvane(corvane), m_CommissioningFlags(commissioningFlags) {}

bool CDefaultCommissioner::CanManuallyAcknowledgeCorvane() const { return true; }

bool CDefaultCommissioner::CanAutomaticallyAcknowledgeCorvane() const {
  return m_Corvane.IsSetupModeActive() || ReadAutomaticFlag(EFlag::Corvane);
}

bool CDefaultCommissioner::CanManuallyAcknowledgeUdids() const { return m_Corvane.IsAcknowledged(); }

bool CDefaultCommissioner::CanAutomaticallyAcknowledgeUdids() const { return m_Corvane.IsSetupModeActive(); }

bool CDefaultCommissioner::CanManuallyAcknowledgeFirmware() const { return m_Corvane.IsAcknowledged(); }

bool CDefaultCommissioner::CanAutomaticallyAcknowledgeFirmware() const {
  return m_Corvane.IsSetupModeActive() || ReadAutomaticFlag(EFlag::Firmware);
}

bool CDefaultCommissioner::ReadAutomaticFlag(EFlag flag) const {
  bool setupModeNegated = true;
  bool corvaneNegated = true;
  bool firmwareNegated = true;
  m_CommissioningFlags.Open();
  if (!m_CommissioningFlags.TryReadNext(setupModeNegated, corvaneNegated, firmwareNegated)) {
    // No commissioning settings: nothing is acknowledged automatically.
    corvaneNegated = true;
    firmwareNegated = true;
  }
  m_CommissioningFlags.Close();
  return !(flag == EFlag::Corvane ? corvaneNegated : firmwareNegated);
}

}  // namespace Main
