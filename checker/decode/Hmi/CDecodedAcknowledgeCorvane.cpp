#include "CDecodedAcknowledgeCorvane.h"

#include "CDecodedCommandVisitor.h"

namespace Hmi {

CDecodedAcknowledgeCorvane::CDecodedAcknowledgeCorvane() = default;

CDecodedAcknowledgeCorvane::~CDecodedAcknowledgeCorvane() = default;

void CDecodedAcknowledgeCorvane::Accept(CDecodedCommandVisitor& visitor) const { visitor.VisitAcknowledgeCorvane(*this); }

bool CDecodedAcknowledgeCorvane::IsAcknowledgeCorvane(u8 length, const u8* command) {
  return HasCommand(length, command, ms_EnterCommand) && GetData(length, command) == ms_Data;
}

}  // namespace Hmi
