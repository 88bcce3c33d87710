// Stream interface: a stream of required parameter checksums with plain bytes.
#pragma once
#include "ScmTypes.h"

namespace Param {

class CParameterChecksumReader {
 public:
  virtual ~CParameterChecksumReader() = default;

  /// Starts the stream; a stream that is open, or whose section another stream holds, throws 0xE200.
  virtual void Open() = 0;
  /// Next entry; checksum points to length bytes valid until the next call or Close. Returns false at the end of the stream.
  virtual bool TryReadNext(u16& sadr, u32& length, const u8*& checksum) = 0;
  /// Ends the stream and releases what Open took; not open throws 0xE200.
  virtual void Close() = 0;
};

}  // namespace Param
