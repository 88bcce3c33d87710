#include "CDecodedDeactivateSetupMode.h"

#include "CDecodedCommandVisitor.h"

namespace Hmi {

CDecodedDeactivateSetupMode::CDecodedDeactivateSetupMode() = default;

CDecodedDeactivateSetupMode::~CDecodedDeactivateSetupMode() = default;

void CDecodedDeactivateSetupMode::Accept(CDecodedCommandVisitor& visitor) const { visitor.VisitDeactivateSetupMode(*this); }

bool CDecodedDeactivateSetupMode::IsDeactivateSetupMode(u8 length, const u8* command) {
  return HasCommand(length, command, ms_EnterCommand) && GetData(length, command) == ms_Data;
}

}  // namespace Hmi
