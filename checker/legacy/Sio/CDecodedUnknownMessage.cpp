#include "CDecodedUnknownMessage.h"

namespace Sio {

CDecodedUnknownMessage::CDecodedUnknownMessage() = default;

CDecodedUnknownMessage::~CDecodedUnknownMessage() = default;

void CDecodedUnknownMessage::Accept(CDecodedMessageHandler&) const {}

}  // namespace Sio
