// Chains two or three complemented header streams, one source after the other.
#pragma once
#include "CInvertedAdditionalParameterHeaderReader.h"

namespace Param {

class CAppendingInvertedAdditionalParameterHeaderReader : public CInvertedAdditionalParameterHeaderReader {
 public:
  /// Three sources (the current build: node list, machine options, "pardata1.bin").
  CAppendingInvertedAdditionalParameterHeaderReader(CInvertedAdditionalParameterHeaderReader& a,
                                                    CInvertedAdditionalParameterHeaderReader& b,
                                                    CInvertedAdditionalParameterHeaderReader& c)
      : m_A(a), m_B(b), m_pC(&c) {}
  /// Two sources, or three when c is not null.
  CAppendingInvertedAdditionalParameterHeaderReader(CInvertedAdditionalParameterHeaderReader& a,
                                                    CInvertedAdditionalParameterHeaderReader& b,
                                                    CInvertedAdditionalParameterHeaderReader* c)
      : m_A(a), m_B(b), m_pC(c) {}
  /// Two sources (the older build: node list, machine options).
  CAppendingInvertedAdditionalParameterHeaderReader(CInvertedAdditionalParameterHeaderReader& a,
                                                    CInvertedAdditionalParameterHeaderReader& b)
      : m_A(a), m_B(b), m_pC(nullptr) {}

  /// Opens the sources in their order.
  void Open() override;
  /// Asks each source in its order; a source at its end is asked again on every call.
  bool TryReadNext(u16& sadr, u8& parameterNumber, const u8*& header) override;
  /// Closes the sources in their order.
  void Close() override;

 private:
  CInvertedAdditionalParameterHeaderReader& m_A;   ///< first source
  CInvertedAdditionalParameterHeaderReader& m_B;   ///< second source
  CInvertedAdditionalParameterHeaderReader* m_pC;  ///< third source, null when there are two
};

}  // namespace Param
