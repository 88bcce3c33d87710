#include "CDecodedCombinedAcknowledgement.h"

#include "CInternalError.h"

namespace Hmi {

CDecodedCombinedAcknowledgement::CDecodedCombinedAcknowledgement() = default;

CDecodedCombinedAcknowledgement::~CDecodedCombinedAcknowledgement() = default;

void CDecodedCombinedAcknowledgement::Accept(CDecodedCommandVisitor&) const {}

bool CDecodedCombinedAcknowledgement::IsCombinedCode(u16 data) {
  if ((data & ms_PartBits) == 0 || (data & ms_ForeignBits) != 0) {
    return false;
  }
  const u16 modules = static_cast<u16>(data & ms_ModulesMask);
  if (modules != 0 && (modules < 0x20 || modules > 0x60)) {
    return false;
  }
  // A single acknowledgement is its own command kind.
  const bool single = data == ms_CorvanePart || data == ms_FirmwarePart || data == modules;
  return !single;
}

bool CDecodedCombinedAcknowledgement::IsCombinedAcknowledgement(u8 length, const u8* command) {
  return HasCommand(length, command, ms_EnterCommand) && IsCombinedCode(GetData(length, command));
}

u8 CDecodedCombinedAcknowledgement::CopyAsPart(u16 partData, u8 capacity, u8* target) const {
  UTIL_CHECK(target != nullptr && GetCommandBytes() != nullptr && GetLength() <= capacity &&
             GetLength() >= ms_CommandLength);
  for (u8 i = 0; i < GetLength(); ++i) {
    target[i] = GetCommandBytes()[i];
  }
  target[ms_DataOffset] = static_cast<u8>(partData & 0xFF);
  target[ms_DataOffset + 1] = static_cast<u8>(partData >> 8);
  return GetLength();
}

}  // namespace Hmi
