// What the session needs of a command decoder: the decoded kind of a command.
// Each build's decoder knows the command kinds of its firmware.
#pragma once
#include "ScmTypes.h"

namespace Hmi {

class CDecodedCommand;

class CCommandDecoding {
 public:
  virtual ~CCommandDecoding() = default;

  /// The decoded command, valid until the next call and while the caller's buffer is unchanged.
  virtual const CDecodedCommand* GetDecodedCommand(u8 length, const u8* command) = 0;
};

}  // namespace Hmi
