#include "CDecodedSnmtResponseUdid.h"

#include "CDecodedFrameVisitor.h"
#include "CUdid.h"

namespace Frame {

CDecodedSnmtResponseUdid::CDecodedSnmtResponseUdid() = default;

CDecodedSnmtResponseUdid::~CDecodedSnmtResponseUdid() = default;

void CDecodedSnmtResponseUdid::Accept(CDecodedFrameVisitor& visitor) const { visitor.VisitSnmtResponseUdid(*this); }

void CDecodedSnmtResponseUdid::Initialize(u16 length, const u8* frame, const u8* key) {
  InitializeKind(length, frame, key, ms_LeMin);
}

bool CDecodedSnmtResponseUdid::IsSnmtResponseUdid(u16 length, const u8* frame) {
  return HasIdAndService(length, frame, ms_Id);
}

const u8* CDecodedSnmtResponseUdid::GetUdid() const { return GetPayloadBytes(0, Util::CUdid::ms_Length); }

u16 CDecodedSnmtResponseUdid::GetSafetyAddress() const { return GetTadr(); }

}  // namespace Frame
