#include "CDecodedUnknownEvent.h"

namespace Event {

CDecodedUnknownEvent::CDecodedUnknownEvent() = default;

CDecodedUnknownEvent::~CDecodedUnknownEvent() = default;

void CDecodedUnknownEvent::Accept(CDecodedEventVisitor& /*visitor*/) const {}

}  // namespace Event
