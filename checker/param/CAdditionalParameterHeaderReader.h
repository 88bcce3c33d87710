// Stream interface: a stream of 16-byte additional-parameter headers with plain bytes.
#pragma once
#include "ScmTypes.h"

namespace Param {

class CAdditionalParameterHeaderReader {
 public:
  virtual ~CAdditionalParameterHeaderReader() = default;

  /// Starts the stream; a stream that is open, or whose section another stream holds, throws 0xE200.
  virtual void Open() = 0;
  /// Next entry; header points to 16 bytes valid until the next call or Close. Returns false at the end of the stream.
  virtual bool TryReadNext(u16& sadr, u8& parameterNumber, const u8*& header) = 0;
  /// Ends the stream and releases what Open took; not open throws 0xE200.
  virtual void Close() = 0;
};

}  // namespace Param
