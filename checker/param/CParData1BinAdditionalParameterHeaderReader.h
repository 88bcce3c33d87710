// The headers of "pardata1.bin"'s data area, each payload's CRC checked on the way.
#pragma once
#include "CAdditionalParameterHeaderReader.h"
#include "CParData1Bin.h"

namespace Param {

class CParData1BinAdditionalParameterHeaderReader : public CAdditionalParameterHeaderReader {
 public:
  static constexpr u16 ms_SkippedSadrMin = 2000;  ///< blocks from this SADR on are skipped in a skipping file

  explicit CParData1BinAdditionalParameterHeaderReader(CParData1Bin& file) : m_File(file) {}

  /// Takes the data area; already open: 0xE200.
  void Open() override;
  /// Next header; its errors are 0xE2BC with the step and leave the data area taken.
  bool TryReadNext(u16& sadr, u8& parameterNumber, const u8*& header) override;
  /// Frees the data area; not open: 0xE200.
  void Close() override;

 private:
  CParData1Bin& m_File;         ///< the file whose data area is streamed
  const u8* m_Data = nullptr;   ///< data area start
  u32 m_Length = 0;             ///< data area length
  u32 m_Position = 0;           ///< offset of the next block
  bool m_Skipping = false;      ///< the file skips blocks of high SADRs
  bool m_Open = false;          ///< between Open and Close
};

}  // namespace Param
