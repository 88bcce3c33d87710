#include "CChannelQorVariableStorage.h"

#include "CException.h"
#include "CInternalError.h"
#include "ErrorCodes.h"
#include "SafetyDomainNumber.h"
#include "ScmSystemCalls.h"
#include "Sio/CDecodedReadResponse.h"
#include "Sio/EncodeReadRequest.h"
#include "vxworks.h"

namespace Main {

using Util::CException;
using Util::ErrorCodes;

CChannelQorVariableStorage::CChannelQorVariableStorage()
    : m_Buffer{},
      m_Failed(false),
      m_Recovered(false),
      m_pDestination(nullptr),
      m_MaxLength(0),
      m_ReceivedLength(0),
      m_PayloadLength(0),
      m_ResponseSeen(false) {}

CChannelQorVariableStorage::~CChannelQorVariableStorage() = default;

int CChannelQorVariableStorage::PollPeriod() {
  const int period = sysClkRateGet() / ms_PollDivisor;
  return period < ms_MinimumPollTicks ? ms_MinimumPollTicks : period;
}

i32 CChannelQorVariableStorage::OpenQorChannel() {
  const i32 handle = ScmOpenChannel(GetSafetyDomainNumber(), ms_Channel, ms_BufferSize, ms_BufferSize);
  if (handle == -1) {
    throw CException(ErrorCodes::ms_QorChannelOpenFailed);
  }
  return handle;
}

void CChannelQorVariableStorage::SendQorRequest(i32 handle, u8 variable) {
  const u8 length = Sio::EncodeReadRequest(variable, ms_BufferSize, m_Buffer);
  if (ScmSendChannel(handle, length, m_Buffer) != static_cast<i32>(length)) {
    throw CException(ErrorCodes::ms_QorChannelSendFailed);
  }
}

u8 CChannelQorVariableStorage::ReceiveQorResponse(i32 handle) {
  const i32 received = ScmReceiveChannel(handle, ms_BufferSize, m_Buffer);
  if (received == -1) {
    throw CException(ErrorCodes::ms_QorChannelReceiveFailed);
  }
  return static_cast<u8>(received);
}

void CChannelQorVariableStorage::CloseQorChannel(i32 handle) {
  if (ScmCloseChannel(handle) != 0) {
    throw CException(ErrorCodes::ms_QorChannelCloseFailed);
  }
}

void CChannelQorVariableStorage::ConfirmQorOk() {
  u8 state = ms_UnknownState;
  for (;;) {
    state = ms_UnknownState;
    static_cast<void>(ScmGetQorFailSafeState(GetSafetyDomainNumber(), &state));
    if (state != ms_UnknownState) {
      break;
    }
    taskDelay(PollPeriod());
  }
  if (state != 0) {
    throw CException(ErrorCodes::ms_QorFailSafe, static_cast<u32>(state));
  }
}

u8 CChannelQorVariableStorage::ConfirmQorResponse(u8 variable) {
  i32 handle = -1;
  try {
    handle = OpenQorChannel();
    SendQorRequest(handle, variable);
    const u32 start = static_cast<u32>(ScmGetUSecCounter());
    u8 length = 0;
    for (;;) {
      length = ReceiveQorResponse(handle);
      if (length != 0) {
        break;
      }
      if (static_cast<u32>(ScmGetUSecCounter()) - start > ms_ResponseTimeout) {
        break;
      }
      taskDelay(PollPeriod());
    }
    CloseQorChannel(handle);
    return length;
  } catch (const CException& error) {
    // The channel is given back whatever failed; a failed open closes -1, as the host expects.
    static_cast<void>(ScmCloseChannel(handle));
    throw CException(error);
  }
}

u8 CChannelQorVariableStorage::Read(u8 variable, u8 maxLength, void* destination) {
  UTIL_CHECK(destination != nullptr);
  try {
    ConfirmQorOk();
    const u8 length = ConfirmQorResponse(variable);
    m_pDestination = static_cast<u8*>(destination);
    m_MaxLength = maxLength;
    m_ReceivedLength = length;
    m_PayloadLength = 0;
    m_ResponseSeen = false;
    m_Decoder.GetDecodedMessage(length, m_Buffer)->Accept(*this);
    if (!m_ResponseSeen) {
      const u32 firstWord = static_cast<u32>(m_Buffer[0]) | (static_cast<u32>(m_Buffer[1]) << 8) |
                            (static_cast<u32>(m_Buffer[2]) << 16) | (static_cast<u32>(m_Buffer[3]) << 24);
      throw CException(ErrorCodes::ms_QorNoReadResponse, static_cast<u16>(length), firstWord);
    }
    return m_PayloadLength;
  } catch (const CException&) {
    m_Failed = true;
    throw;
  }
}

void CChannelQorVariableStorage::VisitReadResponse(const Sio::CDecodedReadResponse& response) {
  UTIL_CHECK(m_pDestination != nullptr);
  const u8 payloadLength = response.GetPayloadLength();
  if (payloadLength > m_MaxLength) {
    throw CException(ErrorCodes::ms_QorPayloadTooLong, static_cast<u32>(payloadLength));
  }
  // An answer shorter than the payload it announces would hand out stale buffer bytes.
  if (static_cast<u32>(m_ReceivedLength) < static_cast<u32>(payloadLength) + Sio::CDecodedReadResponse::ms_PayloadOffset) {
    throw CException(ErrorCodes::ms_QorMessageTooShort, static_cast<u32>(m_ReceivedLength));
  }
  // A variable never written answers with no payload: nothing to copy.
  if (payloadLength != 0) {
    const u8* payload = response.GetPayload();
    for (u8 i = 0; i < payloadLength; ++i) {
      m_pDestination[i] = payload[i];
    }
  }
  m_PayloadLength = payloadLength;
  m_ResponseSeen = true;
}

bool CChannelQorVariableStorage::HasFailed() const { return m_Failed; }

bool CChannelQorVariableStorage::IsQorOk() {
  u8 state = ms_UnknownState;
  static_cast<void>(ScmGetQorFailSafeState(GetSafetyDomainNumber(), &state));
  return state == 0;
}

bool CChannelQorVariableStorage::IsChannelOk() {
  const u16 sdn = GetSafetyDomainNumber();
  static_cast<void>(ScmLockReset(sdn));
  bool ok = true;
  i32 handle = -1;
  try {
    handle = OpenQorChannel();
    SendQorRequest(handle, ms_ProbeVariable);
    static_cast<void>(ReceiveQorResponse(handle));
    CloseQorChannel(handle);
  } catch (const CException&) {
    static_cast<void>(ScmCloseChannel(handle));
    ok = false;
  }
  static_cast<void>(ScmUnlockReset(sdn));
  return ok;
}

bool CChannelQorVariableStorage::HasRecovered() {
  if (!m_Failed) {
    return false;
  }
  if (m_Recovered) {
    return true;
  }
  // The channel is probed only once the controller itself reports no fail-safe.
  if (IsQorOk() && IsChannelOk()) {
    m_Recovered = true;
  }
  return m_Recovered;
}

}  // namespace Main
