// The expected additional-parameter headers, complemented, by SADR and parameter number.
#pragma once
#include "ScmTypes.h"

namespace Check {

class CAdditionalParameterCatalog {
 public:
  virtual ~CAdditionalParameterCatalog() = default;

  /// True when a header is expected for (sadr, parameterNumber); SADR outside 1 to 1023
  /// throws 0xE2EA, a number above 15 throws 0xE2EB.
  virtual bool HasAdditionalParameter(u16 sadr, u8 parameterNumber) const = 0;
  /// The 16 complemented header bytes; the same range errors, an absent entry throws 0xE2EC.
  virtual const u8* GetInvertedAdditionalParameterHeader(u16 sadr, u8 parameterNumber) const = 0;
};

}  // namespace Check
