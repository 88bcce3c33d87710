#include "CDecodedFirmwareAcknowledged.h"

#include "CDecodedEventVisitor.h"

namespace Event {

CDecodedFirmwareAcknowledged::CDecodedFirmwareAcknowledged() = default;

CDecodedFirmwareAcknowledged::~CDecodedFirmwareAcknowledged() = default;

void CDecodedFirmwareAcknowledged::Accept(CDecodedEventVisitor& visitor) const { visitor.VisitFirmwareAcknowledged(*this); }

bool CDecodedFirmwareAcknowledged::IsFirmwareAcknowledged(u8 length, const u8* event) {
  return IsAcknowledgedWhat(length, event, ms_Information0);
}

}  // namespace Event
