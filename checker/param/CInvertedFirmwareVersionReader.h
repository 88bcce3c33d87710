// Stream interface: a stream of required firmware versions with complemented values.
#pragma once
#include "ScmTypes.h"

namespace Param {

class CInvertedFirmwareVersionReader {
 public:
  virtual ~CInvertedFirmwareVersionReader() = default;

  /// Starts the stream; a stream that is open, or whose section another stream holds, throws 0xE200.
  virtual void Open() = 0;
  /// Next entry; SADR plain, the four values complemented. Returns false at the end of the stream.
  virtual bool TryReadNext(u16& sadr, u32& vendorId, u32& productCode, u16& revisionHigh, u16& revisionLow) = 0;
  /// Ends the stream and releases what Open took; not open throws 0xE200.
  virtual void Close() = 0;
};

}  // namespace Param
