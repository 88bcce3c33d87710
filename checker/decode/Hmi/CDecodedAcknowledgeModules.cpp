#include "CDecodedAcknowledgeModules.h"

#include "CDecodedCommandVisitor.h"
#include "CInternalError.h"

namespace Hmi {

CDecodedAcknowledgeModules::CDecodedAcknowledgeModules() = default;

CDecodedAcknowledgeModules::~CDecodedAcknowledgeModules() = default;

void CDecodedAcknowledgeModules::Accept(CDecodedCommandVisitor& visitor) const { visitor.VisitAcknowledgeModules(*this); }

bool CDecodedAcknowledgeModules::IsAcknowledgeModules(u8 length, const u8* command) {
  if (!HasCommand(length, command, ms_EnterCommand)) {
    return false;
  }
  const u16 data = GetData(length, command);
  return data == 0x0020 || data == 0x0030 || data == 0x0040 || data == 0x0050 || data == 0x0060;
}

u32 CDecodedAcknowledgeModules::GetAcknowledgedModuleCount() const {
  switch (GetData()) {
    case 0x0020:
      return 5;
    case 0x0030:
      return 4;
    case 0x0040:
      return 3;
    case 0x0050:
      return 2;
    case 0x0060:
      return 1;
    default:
      UTIL_RAISE_INTERNAL();
  }
}

}  // namespace Hmi
