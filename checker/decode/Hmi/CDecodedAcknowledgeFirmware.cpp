#include "CDecodedAcknowledgeFirmware.h"

#include "CDecodedCommandVisitor.h"

namespace Hmi {

CDecodedAcknowledgeFirmware::CDecodedAcknowledgeFirmware() = default;

CDecodedAcknowledgeFirmware::~CDecodedAcknowledgeFirmware() = default;

void CDecodedAcknowledgeFirmware::Accept(CDecodedCommandVisitor& visitor) const { visitor.VisitAcknowledgeFirmware(*this); }

bool CDecodedAcknowledgeFirmware::IsAcknowledgeFirmware(u8 length, const u8* command) {
  return HasCommand(length, command, ms_EnterCommand) && GetData(length, command) == ms_Data;
}

}  // namespace Hmi
