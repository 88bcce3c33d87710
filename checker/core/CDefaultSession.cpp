#include "CDefaultSession.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "CException.h"
#include "CInternalError.h"
#include "CUdid.h"
#include "ErrorCodes.h"
#include "SafetyDomainNumber.h"
#include "ScmLog.h"
#include "ScmSystemCalls.h"

namespace Main {

using Util::CException;
using Util::ErrorCodes;

namespace {

/// Complements length bytes from source into target (the two may be the same buffer).
void Complement(const u8* source, unsigned length, u8* target) {
  for (unsigned i = 0; i < length; ++i) {
    target[i] = static_cast<u8>(~source[i]);
  }
}

/// The first two bytes as a little-endian u16; bytes past length count as 0.
u16 FirstWord(const u8* buffer, unsigned length) {
  const unsigned low = length > 0 ? buffer[0] : 0u;
  const unsigned high = length > 1 ? buffer[1] : 0u;
  return static_cast<u16>(low | (high << 8));
}

/// Seconds of the real-time clock; false when it cannot be read.
bool ReadRealTimeSeconds(u32& seconds) {
  timespec now{};
  if (clock_gettime(CLOCK_REALTIME, &now) != 0) {
    return false;
  }
  seconds = static_cast<u32>(now.tv_sec);
  return true;
}

}  // namespace

// The default constructor does not delegate: a delegating constructor would bind the own
// decoders' references before the object's dynamic type exists.
CDefaultSession::CDefaultSession(CMessaging& messaging, CInspector& inspector)
    : m_Messaging(messaging),
      m_Inspector(inspector),
      m_CommandDecoder(m_OwnCommandDecoder),
      m_ResponseDecoder(m_OwnResponseDecoder),
      m_pEventDecoder(&m_OwnEventDecoder) {}

CDefaultSession::CDefaultSession(CMessaging& messaging, CInspector& inspector, Hmi::CCommandDecoding& commandDecoder,
                                 Hmi::CResponseDecoding& responseDecoder, Event::CEventDecoder* eventDecoder)
    : m_Messaging(messaging),
      m_Inspector(inspector),
      m_CommandDecoder(commandDecoder),
      m_ResponseDecoder(responseDecoder),
      m_pEventDecoder(eventDecoder) {}

CDefaultSession::~CDefaultSession() = default;

void CDefaultSession::Initialize() {
  UTIL_CHECK(!m_Initialized.load());
  char name[ms_TimeoutTaskNameLengthMax + 1] = {};
  std::snprintf(name, sizeof(name), ms_TimeoutTaskNamePattern, static_cast<int>(GetSafetyDomainNumber()));
  const TASK_ID id = taskSpawn(name, ms_TimeoutTaskPriority, 0, ms_TimeoutTaskStackSize, WaitForUnlockTimeout,
                               reinterpret_cast<_Vx_usr_arg_t>(this), 0, 0, 0, 0, 0, 0, 0, 0, 0);
  if (id == TASK_ID_ERROR) {
    throw CException(ErrorCodes::ms_TimeoutTaskNotSpawned);
  }
  m_TimeoutTaskId = id;
  m_Initialized.store(true);
}

void CDefaultSession::CheckInitialized() const { UTIL_CHECK(m_Initialized.load()); }

bool CDefaultSession::IsFailSafe() const { return !m_NotFailSafe.load(); }

u32 CDefaultSession::GetPlcResetTimestamp() const {
  CheckInitialized();
  return m_PlcResetTimestamp.load();
}

void CDefaultSession::SwitchToFailSafe() {
  CheckInitialized();
  m_NotFailSafe.store(false);
  m_Messaging.InhibitFrames();
}

void CDefaultSession::RelayWhileReady(unsigned perCycle, bool (CMessaging::*canReceive)(),
                                      bool (CMessaging::*canSend)(), void (CDefaultSession::*handle)()) {
  CheckInitialized();
  for (unsigned i = 0; i < perCycle; ++i) {
    if (!(m_Messaging.*canReceive)() || !(m_Messaging.*canSend)()) {
      return;
    }
    (this->*handle)();
  }
}

// ---- unlock requests and responses ----

void CDefaultSession::HandleAllUnlockRequests() {
  RelayWhileReady(ms_UnlockRequestsPerCycle, &CMessaging::CanReceiveUnlockRequestFromRuntime,
                  &CMessaging::CanSendUnlockRequestToScm, &CDefaultSession::HandleUnlockRequest);
}

void CDefaultSession::HandleUnlockRequest() {
  const u8 length = m_Messaging.ReceiveUnlockRequestFromRuntime(ms_UnlockMessageLengthMax, m_UnlockMessage);
  if (m_PlcResetTimestamp.load() == ms_NoResetTimestamp) {
    u32 seconds = 0;
    // An unreadable clock arms the deadline from 0, which the timeout task sees as passed.
    if (!ReadRealTimeSeconds(seconds)) {
      seconds = 0;
    }
    m_PlcResetTimestamp.store(seconds + ms_UnlockResetDelay);
  }
  Complement(m_UnlockMessage, length, m_UnlockMessage);
  m_Messaging.SendInvertedUnlockRequestToScm(length, m_UnlockMessage);
}

void CDefaultSession::HandleAllUnlockResponses() {
  RelayWhileReady(ms_UnlockResponsesPerCycle, &CMessaging::CanReceiveUnlockResponseFromScm,
                  &CMessaging::CanSendUnlockResponseToRuntime, &CDefaultSession::HandleUnlockResponse);
}

void CDefaultSession::HandleUnlockResponse() {
  const u8 length =
      m_Messaging.ReceiveInvertedUnlockResponseFromScm(ms_UnlockMessageLengthMax, m_UnlockMessage);
  Complement(m_UnlockMessage, length, m_UnlockMessage);
  m_Messaging.SendUnlockResponseToRuntime(length, m_UnlockMessage);
}

// ---- frames ----

void CDefaultSession::HandleAllReceivedFrames() {
  RelayWhileReady(ms_ReceivedFramesPerCycle, &CMessaging::CanReceiveFrameFromRuntime,
                  &CMessaging::CanSendFrameToScm, &CDefaultSession::HandleReceivedFrame);
}

void CDefaultSession::HandleReceivedFrame() {
  const u16 length = m_Messaging.ReceiveFrameFromRuntime(ms_FrameLengthMax, m_Frame);
  const Frame::CDecodedFrame* decoded = nullptr;
  try {
    decoded = m_FrameDecoder.GetDecodedFrame(length, m_Frame, m_ScmUdid);
  } catch (const CException& error) {
    // A frame from the network that does not decode is dropped, not a fault of the domain.
    CException::LogWarning(error);
    return;
  }
  m_Inspector.InspectReceivedFrame(*decoded);
  Complement(m_Frame, length, m_Frame);
  m_Messaging.SendInvertedFrameToScm(length, m_Frame);
}

void CDefaultSession::HandleAllSentFrames() {
  CheckInitialized();
  if (IsFailSafe()) {
    return;
  }
  for (unsigned i = 0; i < ms_SentFramesPerCycle; ++i) {
    if (!m_Messaging.CanReceiveFrameFromScm()) {
      break;
    }
    if (m_Messaging.CanSendFrameToRuntime()) {
      HandleSentFrame();
    } else {
      DropSentFrame();
    }
  }
  WarnOfDroppedSentFrames();
}

void CDefaultSession::HandleSentFrame() {
  const u16 length = m_Messaging.ReceiveInvertedFrameFromScm(ms_FrameLengthMax, m_Frame);
  Complement(m_Frame, length, m_RestoredFrame);
  const Frame::CDecodedFrame* decoded = m_FrameDecoder.GetDecodedFrame(length, m_RestoredFrame, m_ScmUdid);
  m_Inspector.InspectSentFrame(*decoded, length, m_Frame);
  decoded->Accept(*this);
  for (u16 i = 0; i < length; ++i) {
    if (m_Frame[i] != m_RestoredFrame[i]) {
      throw CException(ErrorCodes::ms_CheckBitsMissing, FirstWord(m_Frame, length),
                       FirstWord(m_RestoredFrame, length));
    }
  }
  m_Messaging.SendFrameToRuntime(length, m_Frame);
}

void CDefaultSession::DropSentFrame() {
  // A maximum of 0 discards the waiting frame.
  static_cast<void>(m_Messaging.ReceiveInvertedFrameFromScm(0, m_Frame));
  ++m_DroppedSentFrameCount;
}

void CDefaultSession::WarnOfDroppedSentFrames() {
  if (m_DroppedSentFrameCount == 0) {
    return;
  }
  const u32 now = static_cast<u32>(ScmGetUSecCounter());
  if (now - m_LastDropWarningTime > ms_DoppedSentFrameWarningInterval) {
    ScmLogWarning(ErrorCodes::ms_SentFramesDropped, 0, m_DroppedSentFrameCount);
    m_LastDropWarningTime = now;
    m_DroppedSentFrameCount = 0;
  }
}

void CDefaultSession::VisitSnmtAssignUdidScm(const Frame::CDecodedSnmtAssignUdidScm& frame) {
  const u8* udid = frame.GetScmUdid();
  UTIL_CHECK(udid != nullptr);
  for (unsigned i = 0; i < Util::CUdid::ms_Length; ++i) {
    m_ScmUdid[i] = udid[i];
  }
}

// ---- events ----

void CDefaultSession::HandleAllEvents() {
  RelayWhileReady(ms_EventsPerCycle, &CMessaging::CanReceiveEventFromScm, &CMessaging::CanSendEventToRuntime,
                  &CDefaultSession::HandleEvent);
}

void CDefaultSession::HandleEvent() {
  const u8 length = m_Messaging.ReceiveInvertedEventFromScm(ms_EventLengthMax, m_Event);
  Complement(m_Event, length, m_Event);
  if (m_pEventDecoder != nullptr) {
    InspectEvent(length);
  }
  m_Messaging.SendEventToRuntime(length, m_Event);
}

void CDefaultSession::InspectEvent(u8 length) {
  LockReset();
  try {
    const Event::CDecodedEvent* decoded = m_pEventDecoder->GetDecodedEvent(length, m_Event);
    m_Inspector.InspectEvent(*decoded);
  } catch (const CException&) {
    // The host still learns of the event and gets its reset lock back; the error goes on.
    static_cast<void>(ScmUnlockReset(GetSafetyDomainNumber()));
    m_Messaging.SendEventToRuntime(length, m_Event);
    throw;
  }
  UnlockReset();
}

// ---- commands and responses ----

void CDefaultSession::HandleAllCommands() {
  RelayWhileReady(ms_CommandsPerCycle, &CMessaging::CanReceiveCommandFromRuntime,
                  &CMessaging::CanSendCommandToScm, &CDefaultSession::HandleCommand);
}

void CDefaultSession::HandleCommand() {
  m_PostponedCommandLength = m_Messaging.ReceiveCommandFromRuntime(ms_CommandLengthMax, m_PostponedCommand);
  LockReset();
  Complement(m_PostponedCommand, m_PostponedCommandLength, m_InvertedCommand);
  m_Messaging.SendInvertedCommandToScm(m_PostponedCommandLength, m_InvertedCommand);
}

void CDefaultSession::HandleAllResponses() {
  RelayWhileReady(ms_ResponsesPerCycle, &CMessaging::CanReceiveResponseFromScm,
                  &CMessaging::CanSendResponseToRuntime, &CDefaultSession::HandleResponse);
}

void CDefaultSession::HandleResponse() {
  const u16 length = m_Messaging.ReceiveInvertedResponseFromScm(ms_ResponseLengthMax, m_Response);
  Complement(m_Response, length, m_Response);
  Hmi::CDecodedResponse* decoded = nullptr;
  try {
    decoded = m_ResponseDecoder.GetDecodedResponse(length, m_Response);
  } catch (const CException& error) {
    // A response the decoder cannot read is the firmware's answer all the same: it reaches
    // the host unmarked.
    CException::LogWarning(error);
    UnlockReset();
    m_Messaging.SendResponseToRuntime(length, m_Response);
    return;
  }
  try {
    decoded->Accept(*this);
  } catch (const CException&) {
    // The response reaches the host, marked fail-safe by the visit, before the error goes on.
    SwitchToFailSafe();
    static_cast<void>(ScmUnlockReset(GetSafetyDomainNumber()));
    m_Messaging.SendResponseToRuntime(length, m_Response);
    throw;
  }
  UnlockReset();
  m_Messaging.SendResponseToRuntime(length, m_Response);
}

template <class TStatus>
void CDefaultSession::MarkAndInspect(TStatus& status, void (TStatus::*setFailSafe)(bool)) {
  (status.*setFailSafe)(IsFailSafe());
  if (!status.IsSuccessful()) {
    return;
  }
  try {
    InspectPostponedCommand();
  } catch (const CException&) {
    SwitchToFailSafe();
    (status.*setFailSafe)(true);
    throw;
  }
}

void CDefaultSession::VisitStatus(Hmi::CDecodedStatus& status) {
  MarkAndInspect(status, &Hmi::CDecodedStatus::SetFailSafeFlags);
}

void CDefaultSession::VisitStatusNew(Hmi::CDecodedStatusNew& status) {
  MarkAndInspect(status, &Hmi::CDecodedStatusNew::SetFailSafeFlag);
}

void CDefaultSession::InspectPostponedCommand() {
  const Hmi::CDecodedCommand* command =
      m_CommandDecoder.GetDecodedCommand(m_PostponedCommandLength, m_PostponedCommand);
  m_Inspector.InspectCommand(*command);
}

void CDefaultSession::LockReset() {
  if (ScmLockReset(GetSafetyDomainNumber()) != 0) {
    throw CException(ErrorCodes::ms_LockResetFailed);
  }
}

void CDefaultSession::UnlockReset() {
  if (ScmUnlockReset(GetSafetyDomainNumber()) != 0) {
    throw CException(ErrorCodes::ms_UnlockResetFailed);
  }
}

// ---- timeout task ----

int CDefaultSession::WaitForUnlockTimeout(_Vx_usr_arg_t session, _Vx_usr_arg_t, _Vx_usr_arg_t, _Vx_usr_arg_t,
                                          _Vx_usr_arg_t, _Vx_usr_arg_t, _Vx_usr_arg_t, _Vx_usr_arg_t,
                                          _Vx_usr_arg_t, _Vx_usr_arg_t) {
  auto* self = reinterpret_cast<CDefaultSession*>(session);
  try {
    UTIL_CHECK(self != nullptr);
    self->EnforceUnlockDeadline();
  } catch (const CException& error) {
    CException::LogError(error);
    if (self == nullptr) {
      std::exit(-1);
    }
  }
  return 0;
}

void CDefaultSession::EnforceUnlockDeadline() {
  for (;;) {
    taskDelay(sysClkRateGet());
    const u32 deadline = m_PlcResetTimestamp.load();
    if (deadline == ms_NoResetTimestamp) {
      continue;
    }
    u32 seconds = 0;
    if (!ReadRealTimeSeconds(seconds)) {
      ScmLogError(ErrorCodes::ms_RealTimeClockFailed, 0, 0);
      SwitchToFailSafe();
      return;
    }
    if (seconds > deadline) {
      ScmLogError(ErrorCodes::ms_UnlockDeadlinePassed, 0, 0);
      static_cast<void>(ScmResetPlc(ms_PlcResetWord));
      SwitchToFailSafe();
      return;
    }
  }
}

}  // namespace Main
