#include "CDecodedAcknowledged.h"

namespace Event {

CDecodedAcknowledged::CDecodedAcknowledged() = default;

CDecodedAcknowledged::~CDecodedAcknowledged() = default;

bool CDecodedAcknowledged::IsAcknowledged(u8 length, const u8* event) {
  if (GetLevel(length, event) != ms_InformationLevel) {
    return false;
  }
  const u16 low = static_cast<u16>(GetCode(length, event) & 0xFFFF);
  return low == ScmSetupModeCode || low == ScmAutomaticCode;
}

bool CDecodedAcknowledged::IsAcknowledgedWhat(u8 length, const u8* event, u16 what) {
  return IsAcknowledged(length, event) && GetInformation0(length, event) == what;
}

}  // namespace Event
