#include "CDecodedModulesAcknowledged.h"

#include "CDecodedEventVisitor.h"

namespace Event {

CDecodedModulesAcknowledged::CDecodedModulesAcknowledged() = default;

CDecodedModulesAcknowledged::~CDecodedModulesAcknowledged() = default;

void CDecodedModulesAcknowledged::Accept(CDecodedEventVisitor& visitor) const { visitor.VisitModulesAcknowledged(*this); }

bool CDecodedModulesAcknowledged::IsModulesAcknowledged(u8 length, const u8* event) {
  return IsAcknowledgedWhat(length, event, ms_Information0);
}

u32 CDecodedModulesAcknowledged::GetAcknowledgedModuleCount() const { return GetInformation1(); }

}  // namespace Event
