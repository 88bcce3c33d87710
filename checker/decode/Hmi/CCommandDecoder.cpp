#include "CCommandDecoder.h"

namespace Hmi {

CCommandDecoder::CCommandDecoder() = default;

CCommandDecoder::~CCommandDecoder() = default;

const CDecodedCommand* CCommandDecoder::GetDecodedCommand(u8 length, const u8* command) {
  CDecodedCommand* chosen = m_CommonKinds.Recognize(length, command);
  if (chosen == nullptr) {
    if (CDecodedActivateSetupMode::IsActivateSetupMode(length, command)) {
      chosen = &m_ActivateSetupMode;
    } else if (CDecodedDeactivateSetupMode::IsDeactivateSetupMode(length, command)) {
      chosen = &m_DeactivateSetupMode;
    } else {
      chosen = &m_Unknown;
    }
  }
  chosen->Initialize(length, command);
  return chosen;
}

}  // namespace Hmi
