// Merges two complemented UDID streams into one in ascending SADR; on equal
// SADRs the first source wins. Since a source's list need not be sorted, a
// second-source entry is dropped whenever the first source already delivered
// its SADR, so that an unacknowledged UDID can never override an acknowledged one.
#pragma once
#include "CInvertedUdidReader.h"

namespace Param {

class CMergingInvertedUdidReader : public CInvertedUdidReader {
 public:
  static constexpr u32 ms_SadrSetBytes = 128;  ///< 1024-bit set of SADRs

  CMergingInvertedUdidReader(CInvertedUdidReader& first, CInvertedUdidReader& second)
      : m_First(first), m_Second(second) {}

  /// Opens first, then second; forgets the look-aheads and the delivered SADRs.
  void Open() override;
  /// The smaller of the two look-aheads; each look-ahead is refilled only at the next call,
  /// so the UDID handed out stays intact until then.
  bool TryReadNext(u16& sadr, const u8*& udid) override;
  /// Closes first, then second.
  void Close() override;

 private:
  /// One source's look-ahead entry.
  struct SLookAhead {
    bool m_Held = false;          ///< an entry is waiting
    bool m_Ended = false;         ///< the source said false
    u16 m_Sadr = 0;               ///< the waiting entry's SADR
    const u8* m_Udid = nullptr;   ///< the waiting entry's UDID
  };

  /// Fills an empty look-ahead from its source unless the source ended.
  static void Refill(CInvertedUdidReader& source, SLookAhead& lookAhead);
  bool IsDelivered(u16 sadr) const;
  void MarkDelivered(u16 sadr);

  CInvertedUdidReader& m_First;      ///< the winning source
  CInvertedUdidReader& m_Second;     ///< the other source
  SLookAhead m_FirstAhead;           ///< the first source's look-ahead
  SLookAhead m_SecondAhead;          ///< the second source's look-ahead
  u8 m_Delivered[ms_SadrSetBytes] = {};  ///< SADRs delivered from the first source
};

}  // namespace Param
