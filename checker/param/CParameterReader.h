// Stream interface: a stream of parameter records (index, sub-index, length, data).
#pragma once
#include "ScmTypes.h"

namespace Param {

class CParameterReader {
 public:
  virtual ~CParameterReader() = default;

  /// Starts the stream; a stream that is open, or whose section another stream holds, throws 0xE200.
  virtual void Open() = 0;
  /// Next record; data points into the file and stays valid until the next call or Close. Returns false at the end of the stream.
  virtual bool TryReadNext(u16& index, u8& subIndex, u32& length, const u8*& data) = 0;
  /// Ends the stream and releases what Open took; not open throws 0xE200.
  virtual void Close() = 0;
};

}  // namespace Param
