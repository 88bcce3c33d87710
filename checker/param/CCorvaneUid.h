// "corvane.uid" and the Qor controller's copy in its flash file 16: the
// controller UDID the key medium was last used with, and a timestamp.
#pragma once
#include "ScmTypes.h"

namespace Param {

class CCorvaneUid {
 public:
  static constexpr u32 ms_RecordLength = 18;  ///< bytes of the record
  static constexpr u32 ms_Version = 0x0100;   ///< version word
  static constexpr u32 ms_UdidOffset = 4;     ///< offset of the controller UDID
  static constexpr u32 ms_TimestampOffset = 10; ///< offset of the u64 timestamp

  /// Null buffer: 0xE200.
  CCorvaneUid(u32 capacity, u8* buffer);
  virtual ~CCorvaneUid() = default;

  /// Checks the first length bytes; 0 is the absent file (empty content).
  void ReadContent(u32 length);
  /// The controller UDID (6 bytes); before reading: 0xE200.
  const u8* GetQorUdid() const;
  /// The timestamp; before reading: 0xE200.
  u64 GetTimestamp() const;
  /// Bytes of the content; before reading: 0xE200.
  u32 GetContentLength() const;

 protected:
  /// Sets the values of the absent file: zero UDID, timestamp 0.
  virtual void InitializeWithEmptyContent();
  /// Takes the controller UDID at position.
  virtual void ReadQorUdid(u32& position);
  /// Takes the timestamp at position.
  virtual void ReadTimestamp(u32& position);

  u32 m_Capacity;                ///< bytes in the buffer
  u8* m_Buffer;                  ///< the caller's buffer
  u32 m_ContentLength = 0;       ///< bytes of the content
  const u8* m_QorUdid = nullptr; ///< the controller UDID
  u64 m_Timestamp = 0;           ///< the timestamp
  bool m_ContentRead = false;    ///< a read succeeded
};

}  // namespace Param
