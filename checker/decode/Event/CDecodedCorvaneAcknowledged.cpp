#include "CDecodedCorvaneAcknowledged.h"

#include "CDecodedEventVisitor.h"

namespace Event {

CDecodedCorvaneAcknowledged::CDecodedCorvaneAcknowledged() = default;

CDecodedCorvaneAcknowledged::~CDecodedCorvaneAcknowledged() = default;

void CDecodedCorvaneAcknowledged::Accept(CDecodedEventVisitor& visitor) const { visitor.VisitCorvaneAcknowledged(*this); }

bool CDecodedCorvaneAcknowledged::IsCorvaneAcknowledged(u8 length, const u8* event) {
  return IsAcknowledgedWhat(length, event, ms_Information0);
}

}  // namespace Event
