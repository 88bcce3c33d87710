#include "CDecodedSnmtSnFail.h"

#include "CDecodedFrameVisitor.h"

namespace Frame {

CDecodedSnmtSnFail::CDecodedSnmtSnFail() = default;

CDecodedSnmtSnFail::~CDecodedSnmtSnFail() = default;

void CDecodedSnmtSnFail::Accept(CDecodedFrameVisitor& visitor) const { visitor.VisitSnmtSnFail(*this); }

void CDecodedSnmtSnFail::Initialize(u16 length, const u8* frame, const u8* key) {
  InitializeKind(length, frame, key, ms_LeMin);
}

bool CDecodedSnmtSnFail::IsSnmtSnFail(u16 length, const u8* frame) {
  return HasIdAndService(length, frame, ms_Id) &&
         IsServiceOneOf(length, frame, {0x07});
}

u8 CDecodedSnmtSnFail::GetErrorGroup() const { return GetPayloadByte(ms_ErrorGroupOffset); }

u8 CDecodedSnmtSnFail::GetErrorCode() const { return GetPayloadByte(ms_ErrorCodeOffset); }

u16 CDecodedSnmtSnFail::GetSafetyAddress() const { return GetTadr(); }

}  // namespace Frame
