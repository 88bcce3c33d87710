// Stream interface: a stream of (SADR, minor revision) entries with complemented revisions.
#pragma once
#include "ScmTypes.h"

namespace Param {

class CInvertedMinorRevisionReader {
 public:
  virtual ~CInvertedMinorRevisionReader() = default;

  /// Starts the stream; a stream that is open, or whose section another stream holds, throws 0xE200.
  virtual void Open() = 0;
  /// Next entry; the revision is complemented. Returns false at the end of the stream.
  virtual bool TryReadNext(u16& sadr, u16& minorRevision) = 0;
  /// Ends the stream and releases what Open took; not open throws 0xE200.
  virtual void Close() = 0;
};

}  // namespace Param
