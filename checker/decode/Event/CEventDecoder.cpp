#include "CEventDecoder.h"

namespace Event {

CEventDecoder::CEventDecoder() = default;

CEventDecoder::~CEventDecoder() = default;

const CDecodedEvent* CEventDecoder::GetDecodedEvent(u8 length, const u8* event) {
  CDecodedEvent* chosen = &m_Unknown;
  if (CDecodedCorvaneAcknowledged::IsCorvaneAcknowledged(length, event)) {
    chosen = &m_CorvaneAcknowledged;
  } else if (CDecodedModulesAcknowledged::IsModulesAcknowledged(length, event)) {
    chosen = &m_ModulesAcknowledged;
  } else if (CDecodedFirmwareAcknowledged::IsFirmwareAcknowledged(length, event)) {
    chosen = &m_FirmwareAcknowledged;
  }
  chosen->Initialize(length, event);
  return chosen;
}

}  // namespace Event
