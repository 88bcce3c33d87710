#include "CDecodedStatusNew.h"

#include "CDecodedResponseVisitor.h"

namespace Hmi {

CDecodedStatusNew::CDecodedStatusNew() = default;

CDecodedStatusNew::~CDecodedStatusNew() = default;

void CDecodedStatusNew::Accept(CDecodedResponseVisitor& visitor) { visitor.VisitStatusNew(*this); }

bool CDecodedStatusNew::IsStatusNew(u16 length, const u8* response) {
  if (length < ms_StatusNewLength || !HasResponseType(length, response) ||
      GetCommand(length, response) != ms_StatusRequest) {
    return false;
  }
  const u8* data = Field(length, response, ms_DataWordOffset, ms_StatusNewLength);
  return static_cast<u16>(data[0] | (data[1] << 8)) == ms_DataWord &&
         *Field(length, response, ms_VersionOffset, ms_StatusNewLength) == ms_Version2;
}

u16 CDecodedStatusNew::GetStatus() const { return ReadStatus(ms_StatusNewLength); }

bool CDecodedStatusNew::IsSuccessful() const { return GetStatus() == 0; }

u32 CDecodedStatusNew::GetFlags() const {
  const u8* p = Field(GetLength(), GetResponseBytes(), ms_FlagsOffset, ms_StatusNewLength);
  return static_cast<u32>(p[0]) | (static_cast<u32>(p[1]) << 8) | (static_cast<u32>(p[2]) << 16) |
         (static_cast<u32>(p[3]) << 24);
}

bool CDecodedStatusNew::GetFailSafeFlag() const { return (GetFlags() & ms_FailSafeFlag) != 0; }

bool CDecodedStatusNew::IsOk() const { return !GetFailSafeFlag(); }

void CDecodedStatusNew::SetFailSafeFlag(bool checkerFailSafe) {
  u8* flags = WritableField(ms_FlagsOffset, ms_StatusNewLength);
  if (checkerFailSafe) {
    const u32 word = GetFlags() | ms_FailSafeFlag;
    for (u32 i = 0; i < 4; ++i) {
      flags[i] = static_cast<u8>(word >> (8 * i));
    }
  }
}

}  // namespace Hmi
