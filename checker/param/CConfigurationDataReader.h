// Stream interface: the configuration data flag of the node list, plain.
#pragma once
#include "ScmTypes.h"

namespace Param {

class CConfigurationDataReader {
 public:
  virtual ~CConfigurationDataReader() = default;

  /// Starts the stream; a stream that is open, or whose section another stream holds, throws 0xE200.
  virtual void Open() = 0;
  /// The flag, at most once per Open. Returns false at the end of the stream.
  virtual bool TryReadNext(bool& externalMachineOptionsActive) = 0;
  /// Ends the stream and releases what Open took; not open throws 0xE200.
  virtual void Close() = 0;
};

}  // namespace Param
