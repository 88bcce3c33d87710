// Stream interface: a stream of required safety addresses.
#pragma once
#include "ScmTypes.h"

namespace Param {

class CSafetyAddressReader {
 public:
  virtual ~CSafetyAddressReader() = default;

  /// Starts the stream; a stream that is open, or whose section another stream holds, throws 0xE200.
  virtual void Open() = 0;
  /// Next SADR. Returns false at the end of the stream.
  virtual bool TryReadNext(u16& sadr) = 0;
  /// Ends the stream and releases what Open took; not open throws 0xE200.
  virtual void Close() = 0;
};

}  // namespace Param
