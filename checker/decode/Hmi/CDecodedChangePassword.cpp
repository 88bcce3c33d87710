#include "CDecodedChangePassword.h"

#include "CDecodedCommandVisitor.h"

namespace Hmi {

CDecodedChangePassword::CDecodedChangePassword() = default;

CDecodedChangePassword::~CDecodedChangePassword() = default;

void CDecodedChangePassword::Accept(CDecodedCommandVisitor& visitor) const { visitor.VisitChangePassword(*this); }

bool CDecodedChangePassword::IsChangePassword(u8 length, const u8* command) {
  return HasCommand(length, command, ms_EnterCommand) && GetData(length, command) == ms_Data;
}

const u8* CDecodedChangePassword::GetChangedPassword() const { return GetChangedPassword(GetLength(), GetCommandBytes()); }

const u8* CDecodedChangePassword::GetChangedPassword(u8 length, const u8* command) {
  return Field(length, command, ms_ChangedPasswordOffset, ms_ChangedPasswordLength);
}

}  // namespace Hmi
