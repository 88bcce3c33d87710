// The expected additional-parameter headers, complemented, filled once at
// start-up from the persistence's chained header stream (node list, machine
// options, "pardata1.bin"; a later source overwrites an earlier one). Indexed
// by SADR and parameter number 0 to 15, with presence kept apart from the bytes.
#pragma once
#include "Check/CAdditionalParameterCatalog.h"
#include "CInvertedAdditionalParameterHeaderReader.h"

namespace Check {

class CPersistentAdditionalParameterCatalog : public CAdditionalParameterCatalog {
 public:
  static constexpr u16 ms_SafetyAddressMin = 1;        ///< lowest SADR
  static constexpr u16 ms_SafetyAddressMax = 1023;     ///< highest SADR
  static constexpr u8 ms_ParameterNumberCount = 16;    ///< parameter numbers 0 to 15
  static constexpr u32 ms_HeaderLength = 16;           ///< bytes of a header

  explicit CPersistentAdditionalParameterCatalog(Param::CInvertedAdditionalParameterHeaderReader& reader);
  ~CPersistentAdditionalParameterCatalog() override = default;

  /// Before Initialize: 0xE200.
  bool HasAdditionalParameter(u16 sadr, u8 parameterNumber) const override;
  /// Before Initialize: 0xE200.
  const u8* GetInvertedAdditionalParameterHeader(u16 sadr, u8 parameterNumber) const override;
  /// Reads the whole stream once; a second call, a null header: 0xE200; SADR 0xE2EA; number 0xE2EB.
  virtual void Initialize();

 private:
  /// Throws 0xE2EA for a SADR outside 1 to 1023 and 0xE2EB for a number above 15.
  static void CheckKey(u16 sadr, u8 parameterNumber);

  Param::CInvertedAdditionalParameterHeaderReader& m_Reader;  ///< the chained sources, not owned
  u8 m_Headers[ms_SafetyAddressMax][ms_ParameterNumberCount][ms_HeaderLength];  ///< complemented headers, entry SADR - 1
  bool m_Present[ms_SafetyAddressMax][ms_ParameterNumberCount] = {};  ///< an entry was read
  bool m_Initialized = false;  ///< Initialize ran
};

}  // namespace Check
