// Decodes firmware event records into one of its preallocated kinds. Nothing
// is allocated after construction; the result stays valid until the next call
// and while the caller's buffer is unchanged.
#pragma once
#include "CDecodedCorvaneAcknowledged.h"
#include "CDecodedFirmwareAcknowledged.h"
#include "CDecodedModulesAcknowledged.h"
#include "CDecodedUnknownEvent.h"

namespace Event {

class CEventDecoder {
 public:
  CEventDecoder();
  virtual ~CEventDecoder();

  CEventDecoder(const CEventDecoder&) = delete;
  CEventDecoder& operator=(const CEventDecoder&) = delete;

  /// First matching kind (key medium, modules, firmware), else the unknown
  /// event. Null 0xE200; shorter than 11 bytes 0xE2C8 (i1 length).
  const CDecodedEvent* GetDecodedEvent(u8 length, const u8* event);

 private:
  CDecodedCorvaneAcknowledged m_CorvaneAcknowledged;    ///< key medium acknowledged
  CDecodedModulesAcknowledged m_ModulesAcknowledged;    ///< modules acknowledged
  CDecodedFirmwareAcknowledged m_FirmwareAcknowledged;  ///< firmware acknowledged
  CDecodedUnknownEvent m_Unknown;                       ///< any other event
};

}  // namespace Event
