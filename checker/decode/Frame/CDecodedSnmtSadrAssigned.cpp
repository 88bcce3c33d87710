#include "CDecodedSnmtSadrAssigned.h"

#include "CDecodedFrameVisitor.h"
#include "CUdid.h"

namespace Frame {

CDecodedSnmtSadrAssigned::CDecodedSnmtSadrAssigned() = default;

CDecodedSnmtSadrAssigned::~CDecodedSnmtSadrAssigned() = default;

void CDecodedSnmtSadrAssigned::Accept(CDecodedFrameVisitor& visitor) const { visitor.VisitSnmtSadrAssigned(*this); }

void CDecodedSnmtSadrAssigned::Initialize(u16 length, const u8* frame, const u8* key) {
  InitializeKind(length, frame, key, ms_LeMin);
}

bool CDecodedSnmtSadrAssigned::IsSnmtSadrAssigned(u16 length, const u8* frame) {
  return HasIdAndService(length, frame, ms_Id);
}

const u8* CDecodedSnmtSadrAssigned::GetUdid() const { return GetPayloadBytes(0, Util::CUdid::ms_Length); }

u16 CDecodedSnmtSadrAssigned::GetSafetyAddress() const { return GetTadr(); }

}  // namespace Frame
