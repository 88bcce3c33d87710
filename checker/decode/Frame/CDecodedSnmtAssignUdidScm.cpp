#include "CDecodedSnmtAssignUdidScm.h"

#include "CDecodedFrameVisitor.h"
#include "CUdid.h"

namespace Frame {

CDecodedSnmtAssignUdidScm::CDecodedSnmtAssignUdidScm() = default;

CDecodedSnmtAssignUdidScm::~CDecodedSnmtAssignUdidScm() = default;

void CDecodedSnmtAssignUdidScm::Accept(CDecodedFrameVisitor& visitor) const { visitor.VisitSnmtAssignUdidScm(*this); }

void CDecodedSnmtAssignUdidScm::Initialize(u16 length, const u8* frame, const u8* key) {
  InitializeKind(length, frame, key, ms_LeMin);
}

bool CDecodedSnmtAssignUdidScm::IsSnmtAssignUdidScm(u16 length, const u8* frame) {
  return HasIdAndService(length, frame, ms_Id) &&
         IsServiceOneOf(length, frame, {0x0E});
}

const u8* CDecodedSnmtAssignUdidScm::GetScmUdid() const { return GetPayloadBytes(1, Util::CUdid::ms_Length); }

}  // namespace Frame
