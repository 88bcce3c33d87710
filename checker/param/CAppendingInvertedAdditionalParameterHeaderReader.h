// Chains three complemented header streams, one source after the other.
#pragma once
#include "CInvertedAdditionalParameterHeaderReader.h"

namespace Param {

class CAppendingInvertedAdditionalParameterHeaderReader : public CInvertedAdditionalParameterHeaderReader {
 public:
  CAppendingInvertedAdditionalParameterHeaderReader(CInvertedAdditionalParameterHeaderReader& a,
                                                    CInvertedAdditionalParameterHeaderReader& b,
                                                    CInvertedAdditionalParameterHeaderReader& c)
      : m_A(a), m_B(b), m_C(c) {}

  /// Opens a, b, c in this order.
  void Open() override;
  /// Asks a, then b, then c; a source at its end is asked again on every call.
  bool TryReadNext(u16& sadr, u8& parameterNumber, const u8*& header) override;
  /// Closes a, b, c in this order.
  void Close() override;

 private:
  CInvertedAdditionalParameterHeaderReader& m_A;  ///< first source
  CInvertedAdditionalParameterHeaderReader& m_B;  ///< second source
  CInvertedAdditionalParameterHeaderReader& m_C;  ///< third source
};

}  // namespace Param
