#include "CLegacyCommandDecoder.h"

namespace Hmi {

CLegacyCommandDecoder::CLegacyCommandDecoder() = default;

CLegacyCommandDecoder::~CLegacyCommandDecoder() = default;

const CDecodedCommand* CLegacyCommandDecoder::GetDecodedCommand(u8 length, const u8* command) {
  CDecodedCommand* chosen = m_CommonKinds.Recognize(length, command);
  if (chosen == nullptr) {
    chosen = CDecodedCombinedAcknowledgement::IsCombinedAcknowledgement(length, command)
                 ? static_cast<CDecodedCommand*>(&m_Combined)
                 : &m_Unknown;
  }
  chosen->Initialize(length, command);
  return chosen;
}

}  // namespace Hmi
