#include "CDecodedActivateSetupMode.h"

#include "CDecodedCommandVisitor.h"

namespace Hmi {

CDecodedActivateSetupMode::CDecodedActivateSetupMode() = default;

CDecodedActivateSetupMode::~CDecodedActivateSetupMode() = default;

void CDecodedActivateSetupMode::Accept(CDecodedCommandVisitor& visitor) const { visitor.VisitActivateSetupMode(*this); }

bool CDecodedActivateSetupMode::IsActivateSetupMode(u8 length, const u8* command) {
  return HasCommand(length, command, ms_EnterCommand) && GetData(length, command) == ms_Data;
}

}  // namespace Hmi
