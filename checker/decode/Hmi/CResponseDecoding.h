// What the session needs of a response decoder: the decoded kind of a status
// response, bound to the caller's writable buffer. Each build's decoder knows
// the response kinds of its firmware.
#pragma once
#include "ScmTypes.h"

namespace Hmi {

class CDecodedResponse;

class CResponseDecoding {
 public:
  virtual ~CResponseDecoding() = default;

  /// The decoded response, valid until the next call; may throw a decoder error.
  virtual CDecodedResponse* GetDecodedResponse(u16 length, u8* response) = 0;
};

}  // namespace Hmi
