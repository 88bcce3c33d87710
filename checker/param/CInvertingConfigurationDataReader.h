// Turns the plain configuration data flag into a negated one.
#pragma once
#include "CConfigurationDataReader.h"
#include "CInvertedConfigurationDataReader.h"

namespace Param {

class CInvertingConfigurationDataReader : public CInvertedConfigurationDataReader {
 public:
  explicit CInvertingConfigurationDataReader(CConfigurationDataReader& source) : m_Source(source) {}

  void Open() override { m_Source.Open(); }
  /// The source's flag negated; false at its end (output untouched).
  bool TryReadNext(bool& externalMachineOptionsActive) override;
  void Close() override { m_Source.Close(); }

 private:
  CConfigurationDataReader& m_Source;  ///< the plain stream
};

}  // namespace Param
