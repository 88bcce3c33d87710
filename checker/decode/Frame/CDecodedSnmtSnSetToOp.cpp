#include "CDecodedSnmtSnSetToOp.h"

#include "CDecodedFrameVisitor.h"

namespace Frame {

CDecodedSnmtSnSetToOp::CDecodedSnmtSnSetToOp() = default;

CDecodedSnmtSnSetToOp::~CDecodedSnmtSnSetToOp() = default;

void CDecodedSnmtSnSetToOp::Accept(CDecodedFrameVisitor& visitor) const { visitor.VisitSnmtSnSetToOp(*this); }

void CDecodedSnmtSnSetToOp::Initialize(u16 length, const u8* frame, const u8* key) {
  InitializeKind(length, frame, key, ms_LeMin);
}

bool CDecodedSnmtSnSetToOp::IsSnmtSnSetToOp(u16 length, const u8* frame) {
  return HasIdAndService(length, frame, ms_Id) &&
         IsServiceOneOf(length, frame, {0x02});
}

u16 CDecodedSnmtSnSetToOp::GetSafetyAddress() const { return GetAdr(); }

}  // namespace Frame
