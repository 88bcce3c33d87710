#include "CDecodedSnmtAssignSadr.h"

#include "CDecodedFrameVisitor.h"
#include "CUdid.h"

namespace Frame {

CDecodedSnmtAssignSadr::CDecodedSnmtAssignSadr() = default;

CDecodedSnmtAssignSadr::~CDecodedSnmtAssignSadr() = default;

void CDecodedSnmtAssignSadr::Accept(CDecodedFrameVisitor& visitor) const { visitor.VisitSnmtAssignSadr(*this); }

void CDecodedSnmtAssignSadr::Initialize(u16 length, const u8* frame, const u8* key) {
  InitializeKind(length, frame, key, ms_LeMin);
}

bool CDecodedSnmtAssignSadr::IsSnmtAssignSadr(u16 length, const u8* frame) {
  return HasIdAndService(length, frame, ms_Id);
}

const u8* CDecodedSnmtAssignSadr::GetUdid() const { return GetPayloadBytes(0, Util::CUdid::ms_Length); }

u16 CDecodedSnmtAssignSadr::GetSafetyAddress() const { return GetAdr(); }

}  // namespace Frame
