// Any response of no decoded kind (also one too short for both status
// layouts); forwarded unmarked.
#pragma once
#include "CDecodedResponse.h"

namespace Hmi {

class CDecodedUnknownResponse : public CDecodedResponse {
 public:
  CDecodedUnknownResponse();
  ~CDecodedUnknownResponse() override;

  /// Does nothing.
  void Accept(CDecodedResponseVisitor& visitor) override;
};

}  // namespace Hmi
