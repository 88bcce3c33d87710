// The three commissioning flags of object 0x210B, one result per Open.
#pragma once
#include "CCommissioningFlagReader.h"
#include "CParameterReader.h"

namespace Param {

class CParameterCommissioningFlagReader : public CCommissioningFlagReader {
 public:
  explicit CParameterCommissioningFlagReader(CParameterReader& records) : m_Records(records) {}

  void Open() override;
  /// The flags once per Open; a flag record not 4 bytes long: 0xE2B4 (sub-index, length).
  bool TryReadNext(bool& setupModeActive, bool& autoConfirmCorvane, bool& autoConfirmFirmware) override;
  void Close() override;

 private:
  CParameterReader& m_Records;  ///< the record stream read
  bool m_Delivered = false;     ///< the result of this Open was given
};

}  // namespace Param
