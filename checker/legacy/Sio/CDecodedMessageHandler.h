// Receiver of decoded Qor variable channel messages by double dispatch; every
// operation is empty by default.
#pragma once

namespace Sio {

class CDecodedReadResponse;

class CDecodedMessageHandler {
 public:
  virtual ~CDecodedMessageHandler() = default;

  virtual void VisitReadResponse(const CDecodedReadResponse& /*response*/) {}
};

}  // namespace Sio
