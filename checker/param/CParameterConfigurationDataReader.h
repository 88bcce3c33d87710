// The external-machine-options flag, object 0x2106 sub-index 4, one result per Open.
#pragma once
#include "CConfigurationDataReader.h"
#include "CParameterReader.h"

namespace Param {

class CParameterConfigurationDataReader : public CConfigurationDataReader {
 public:
  static constexpr u8 ms_MachineOptionsSubIndex = 4;  ///< sub-index of the flag

  explicit CParameterConfigurationDataReader(CParameterReader& records) : m_Records(records) {}

  void Open() override;
  /// The flag once per Open; a flag record not 4 bytes long: 0xE2B4 (4, length).
  bool TryReadNext(bool& externalMachineOptionsActive) override;
  void Close() override;

 private:
  CParameterReader& m_Records;  ///< the record stream read
  bool m_Delivered = false;     ///< the result of this Open was given
};

}  // namespace Param
