// Stream interface: a stream of 16-byte additional-parameter headers with complemented bytes.
#pragma once
#include "ScmTypes.h"

namespace Param {

class CInvertedAdditionalParameterHeaderReader {
 public:
  virtual ~CInvertedAdditionalParameterHeaderReader() = default;

  /// Starts the stream; a stream that is open, or whose section another stream holds, throws 0xE200.
  virtual void Open() = 0;
  /// Next entry; SADR and number plain, the 16 header bytes complemented. Returns false at the end of the stream.
  virtual bool TryReadNext(u16& sadr, u8& parameterNumber, const u8*& header) = 0;
  /// Ends the stream and releases what Open took; not open throws 0xE200.
  virtual void Close() = 0;
};

}  // namespace Param
