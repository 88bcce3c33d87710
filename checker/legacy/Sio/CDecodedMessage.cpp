#include "CDecodedMessage.h"

#include "CException.h"
#include "CInternalError.h"
#include "ErrorCodes.h"

namespace Sio {

CDecodedMessage::CDecodedMessage() : m_Length(0), m_pData(nullptr) {}

CDecodedMessage::~CDecodedMessage() { m_pData = nullptr; }

void CDecodedMessage::Initialize(u8 length, const u8* data) {
  UTIL_CHECK(data != nullptr);
  m_Length = length;
  m_pData = data;
}

u8 CDecodedMessage::FirstByte(u8 length, const u8* data) {
  UTIL_CHECK(data != nullptr);
  if (length < 1) {
    throw Util::CException(Util::ErrorCodes::ms_QorMessageTooShort, 0u);
  }
  return data[0];
}

u8 CDecodedMessage::GetVariable(u8 length, const u8* data) {
  return static_cast<u8>(FirstByte(length, data) & ms_VariableMask);
}

bool CDecodedMessage::GetCommand(u8 length, const u8* data) { return (FirstByte(length, data) & ms_CommandFlag) != 0; }

bool CDecodedMessage::GetStatus(u8 length, const u8* data) { return (FirstByte(length, data) & ms_StatusFlag) != 0; }

bool CDecodedMessage::GetDirection(u8 length, const u8* data) {
  return (FirstByte(length, data) & ms_DirectionFlag) != 0;
}

}  // namespace Sio
