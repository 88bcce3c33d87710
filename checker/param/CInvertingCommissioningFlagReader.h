// Turns the plain commissioning flags into negated ones.
#pragma once
#include "CCommissioningFlagReader.h"
#include "CInvertedCommissioningFlagReader.h"

namespace Param {

class CInvertingCommissioningFlagReader : public CInvertedCommissioningFlagReader {
 public:
  explicit CInvertingCommissioningFlagReader(CCommissioningFlagReader& source) : m_Source(source) {}

  void Open() override { m_Source.Open(); }
  /// The source's flags negated, same order; false at its end (outputs untouched).
  bool TryReadNext(bool& setupModeActive, bool& autoConfirmCorvane, bool& autoConfirmFirmware) override;
  void Close() override { m_Source.Close(); }

 private:
  CCommissioningFlagReader& m_Source;  ///< the plain stream
};

}  // namespace Param
