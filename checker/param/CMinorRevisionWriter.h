// Stream interface: a sink of (SADR, minor revision) entries with plain revisions.
#pragma once
#include "ScmTypes.h"

namespace Param {

class CMinorRevisionWriter {
 public:
  virtual ~CMinorRevisionWriter() = default;

  /// Starts the stream; a stream that is open, or whose section another stream holds, throws 0xE200.
  virtual void Open() = 0;
  /// Appends one entry.
  virtual void WriteNext(u16 sadr, u16 minorRevision) = 0;
  /// Ends the stream and releases what Open took; not open throws 0xE200.
  virtual void Close() = 0;
  /// Bytes written since Open.
  virtual u32 GetContentLength() const = 0;
};

}  // namespace Param
