#include "CDecodedRequestStatus.h"

#include "CDecodedCommandVisitor.h"

namespace Hmi {

CDecodedRequestStatus::CDecodedRequestStatus() = default;

CDecodedRequestStatus::~CDecodedRequestStatus() = default;

void CDecodedRequestStatus::Accept(CDecodedCommandVisitor& visitor) const { visitor.VisitRequestStatus(*this); }

bool CDecodedRequestStatus::IsRequestStatus(u8 length, const u8* command) {
  return HasCommand(length, command, ms_StatusRequest) && GetData(length, command) == ms_Data;
}

}  // namespace Hmi
