// One complemented additional-parameter header computed from a value (the
// machine options of "autocnf.bin"), delivered once per Open.
#pragma once
#include "CInvertedAdditionalParameterHeaderReader.h"

namespace Param {

class CComputedInvertedAdditionalParameterHeaderReader : public CInvertedAdditionalParameterHeaderReader {
 public:
  static constexpr u32 ms_HeaderLength = 16;  ///< bytes of a header
  static constexpr u8 ms_HeaderVersion = 1;   ///< header version byte

  CComputedInvertedAdditionalParameterHeaderReader() = default;

  /// Open: 0xE200.
  void Open() override;
  /// The header once per Open; nothing set or already delivered: false. Not open: 0xE200.
  bool TryReadNext(u16& sadr, u8& parameterNumber, const u8*& header) override;
  /// Not open: 0xE200.
  void Close() override;
  /// Builds the header; set, open or null data: 0xE200; SADR 0xE2BA; number above 15 0xE2BB.
  virtual void SetAdditionalParameter(u16 sadr, u8 parameterNumber, u32 timestamp, u32 length, const u8* data);

 private:
  u8 m_Header[ms_HeaderLength] = {};  ///< the complemented header
  bool m_Set = false;                 ///< a header was built
  bool m_Delivered = false;           ///< delivered since Open
  bool m_Open = false;                ///< between Open and Close
};

}  // namespace Param
