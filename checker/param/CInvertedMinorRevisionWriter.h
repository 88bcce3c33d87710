// Stream interface: a sink of (SADR, minor revision) entries that takes complemented revisions.
#pragma once
#include "ScmTypes.h"

namespace Param {

class CInvertedMinorRevisionWriter {
 public:
  virtual ~CInvertedMinorRevisionWriter() = default;

  /// Starts the stream; a stream that is open, or whose section another stream holds, throws 0xE200.
  virtual void Open() = 0;
  /// Appends one entry; the revision is complemented and stored as given.
  virtual void WriteNext(u16 sadr, u16 minorRevision) = 0;
  /// Ends the stream and releases what Open took; not open throws 0xE200.
  virtual void Close() = 0;
  /// Bytes written since Open.
  virtual u32 GetContentLength() const = 0;
};

}  // namespace Param
