// Stream interface: a sink of parameter records.
#pragma once
#include "ScmTypes.h"

namespace Param {

class CParameterWriter {
 public:
  virtual ~CParameterWriter() = default;

  /// Starts the stream; a stream that is open, or whose section another stream holds, throws 0xE200.
  virtual void Open() = 0;
  /// Appends one record.
  virtual void WriteNext(u16 index, u8 subIndex, u32 length, const u8* data) = 0;
  /// Ends the stream and releases what Open took; not open throws 0xE200.
  virtual void Close() = 0;
  /// Bytes written since Open.
  virtual u32 GetContentLength() const = 0;
};

}  // namespace Param
