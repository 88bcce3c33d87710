// Any message of the Qor variable channel that is not a read response: an
// error answer, a write acknowledgement, a request.
#pragma once
#include "CDecodedMessage.h"

namespace Sio {

class CDecodedUnknownMessage : public CDecodedMessage {
 public:
  CDecodedUnknownMessage();
  ~CDecodedUnknownMessage() override;

  /// Does nothing.
  void Accept(CDecodedMessageHandler& handler) const override;
};

}  // namespace Sio
