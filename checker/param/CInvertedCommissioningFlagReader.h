// Stream interface: the commissioning flags of the node list, negated.
#pragma once
#include "ScmTypes.h"

namespace Param {

class CInvertedCommissioningFlagReader {
 public:
  virtual ~CInvertedCommissioningFlagReader() = default;

  /// Starts the stream; a stream that is open, or whose section another stream holds, throws 0xE200.
  virtual void Open() = 0;
  /// The negated flags, at most once per Open. Returns false at the end of the stream.
  virtual bool TryReadNext(bool& setupModeActive, bool& autoConfirmCorvane, bool& autoConfirmFirmware) = 0;
  /// Ends the stream and releases what Open took; not open throws 0xE200.
  virtual void Close() = 0;
};

}  // namespace Param
