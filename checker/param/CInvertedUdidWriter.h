// Stream interface: a sink of (SADR, UDID) entries that takes complemented UDIDs.
#pragma once
#include "ScmTypes.h"

namespace Param {

class CInvertedUdidWriter {
 public:
  virtual ~CInvertedUdidWriter() = default;

  /// Starts the stream; a stream that is open, or whose section another stream holds, throws 0xE200.
  virtual void Open() = 0;
  /// Appends one entry; udid holds 6 complemented bytes, stored as given.
  virtual void WriteNext(u16 sadr, const u8* udid) = 0;
  /// Ends the stream and releases what Open took; not open throws 0xE200.
  virtual void Close() = 0;
  /// Bytes written since Open.
  virtual u32 GetContentLength() const = 0;
};

}  // namespace Param
