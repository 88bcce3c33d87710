// Stream interface: a stream of (SADR, UDID) entries with plain UDIDs.
#pragma once
#include "ScmTypes.h"

namespace Param {

class CUdidReader {
 public:
  virtual ~CUdidReader() = default;

  /// Starts the stream; a stream that is open, or whose section another stream holds, throws 0xE200.
  virtual void Open() = 0;
  /// Next entry; udid points to 6 bytes valid until the next call or Close. Returns false at the end of the stream.
  virtual bool TryReadNext(u16& sadr, const u8*& udid) = 0;
  /// Ends the stream and releases what Open took; not open throws 0xE200.
  virtual void Close() = 0;
};

}  // namespace Param
