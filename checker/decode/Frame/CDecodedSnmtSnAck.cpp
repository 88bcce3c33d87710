#include "CDecodedSnmtSnAck.h"

#include "CDecodedFrameVisitor.h"

namespace Frame {

CDecodedSnmtSnAck::CDecodedSnmtSnAck() = default;

CDecodedSnmtSnAck::~CDecodedSnmtSnAck() = default;

void CDecodedSnmtSnAck::Accept(CDecodedFrameVisitor& visitor) const { visitor.VisitSnmtSnAck(*this); }

void CDecodedSnmtSnAck::Initialize(u16 length, const u8* frame, const u8* key) {
  InitializeKind(length, frame, key, ms_LeMin);
}

bool CDecodedSnmtSnAck::IsSnmtSnAck(u16 length, const u8* frame) {
  return HasIdAndService(length, frame, ms_Id) &&
         IsServiceOneOf(length, frame, {0x0C});
}

u8 CDecodedSnmtSnAck::GetErrorGroup() const { return GetPayloadByte(ms_ErrorGroupOffset); }

u8 CDecodedSnmtSnAck::GetErrorCode() const { return GetPayloadByte(ms_ErrorCodeOffset); }

u16 CDecodedSnmtSnAck::GetSafetyAddress() const { return GetAdr(); }

}  // namespace Frame
