#include "CDecodedUnknownResponse.h"

namespace Hmi {

CDecodedUnknownResponse::CDecodedUnknownResponse() = default;

CDecodedUnknownResponse::~CDecodedUnknownResponse() = default;

void CDecodedUnknownResponse::Accept(CDecodedResponseVisitor& /*visitor*/) {}

}  // namespace Hmi
