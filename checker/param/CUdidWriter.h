// Stream interface: a sink of (SADR, UDID) entries with plain UDIDs.
#pragma once
#include "ScmTypes.h"

namespace Param {

class CUdidWriter {
 public:
  virtual ~CUdidWriter() = default;

  /// Starts the stream; a stream that is open, or whose section another stream holds, throws 0xE200.
  virtual void Open() = 0;
  /// Appends one entry.
  virtual void WriteNext(u16 sadr, const u8* udid) = 0;
  /// Ends the stream and releases what Open took; not open throws 0xE200.
  virtual void Close() = 0;
};

}  // namespace Param
