// "corvane.uid.chk", the checker's acknowledged key-medium signature: the
// record of "corvane.uid" with the UDID and the timestamp complemented.
#pragma once
#include "CCorvaneUid.h"

namespace Param {

class CCorvaneUidChk : private CCorvaneUid {
 public:
  /// Capacity of 17 bytes or less: 0xE24F; null buffer: 0xE200.
  CCorvaneUidChk(u32 capacity, u8* buffer);

  /// The base's read; own values from the file, content unchanged.
  void ReadContent(u32 length);
  /// The complemented controller UDID (6 bytes); before reading: 0xE200.
  const u8* GetInvertedQorUdid() const;
  /// The complemented timestamp; before reading: 0xE200.
  u64 GetInvertedTimestamp() const;
  /// Stores 6 complemented bytes; null or unread: 0xE200.
  void SetInvertedQorUdid(const u8* invertedUdid);
  /// Stores a complemented timestamp; unread: 0xE200.
  void SetInvertedTimestamp(u64 invertedTimestamp);
  /// Writes the 18-byte record when the content changed; unread: 0xE200.
  void WriteContent();
  using CCorvaneUid::GetContentLength;

 private:
  void InitializeWithEmptyContent() override;
  void ReadQorUdid(u32& position) override;
  void ReadTimestamp(u32& position) override;

  u8 m_InvertedQorUdid[6] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};  ///< own complemented UDID
  u64 m_InvertedTimestamp = ~static_cast<u64>(0);                   ///< own complemented timestamp
  bool m_ContentUnchanged = true;                                   ///< nothing to write
};

}  // namespace Param
