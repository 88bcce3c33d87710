#include "CDefaultMessaging.h"

#include <cerrno>

#include "CException.h"
#include "CInternalError.h"
#include "ErrorCodes.h"
#include "SafetyDomainNumber.h"
#include "ScmQueueNames.h"

namespace Main {

using Util::CException;
using Util::ErrorCodes;

namespace {

/// Builds one queue's name for a domain into a buffer.
using QueueNameBuilder = char* (*)(u16, char*);

/// Name builders in handle order.
constexpr QueueNameBuilder ms_NameBuilders[] = {
    ScmGetUnlockRequestQueueFromRuntimeName,
    ScmGetUnlockRequestQueueToScmName,
    ScmGetUnlockResponseQueueFromScmName,
    ScmGetUnlockResponseQueueToRuntimeName,
    ScmGetFrameQueueFromRuntimeName,
    ScmGetFrameQueueToScmName,
    ScmGetFrameQueueFromScmName,
    ScmGetFrameQueueToRuntimeName,
    ScmGetCommandQueueFromRuntimeName,
    ScmGetCommandQueueToScmName,
    ScmGetResponseQueueFromScmName,
    ScmGetResponseQueueToRuntimeName,
    ScmGetEventQueueFromScmName,
    ScmGetEventQueueToRuntimeName,
};

}  // namespace

CDefaultMessaging::CDefaultMessaging() : m_Queues{}, m_FramesEnabled(true), m_Initialized(false) {
  static_assert(sizeof(ms_NameBuilders) / sizeof(ms_NameBuilders[0]) == QueueCount);
}

CDefaultMessaging::~CDefaultMessaging() {
  for (auto& queue : m_Queues) {
    queue.store(nullptr);
  }
}

void CDefaultMessaging::Initialize() {
  UTIL_CHECK(!m_Initialized);
  const u16 sdn = GetSafetyDomainNumber();
  for (unsigned i = 0; i < QueueCount; ++i) {
    char name[SCM_QUEUE_NAME_SIZE] = {};
    const char* qualified = ms_NameBuilders[i](sdn, name);
    MSG_Q_ID queue = msgQOpen(qualified, 0, 0, 0, 0, nullptr);
    if (queue == nullptr) {
      throw CException(ErrorCodes::ms_QueueOpenFailed, static_cast<u32>(errno));
    }
    m_Queues[i].store(queue);
  }
  m_Initialized = true;
}

void CDefaultMessaging::CheckInitialized() const { UTIL_CHECK(m_Initialized); }

void CDefaultMessaging::GetInfo(EQueue queue, MSG_Q_INFO& info) {
  CheckInitialized();
  if (msgQInfoGet(m_Queues[queue].load(), &info) != OK) {
    throw CException(ErrorCodes::ms_QueueInfoFailed, static_cast<u32>(errno));
  }
}

bool CDefaultMessaging::HasMessage(EQueue queue) {
  MSG_Q_INFO info{};
  GetInfo(queue, info);
  return info.numMsgs != 0;
}

bool CDefaultMessaging::HasRoom(EQueue queue) {
  MSG_Q_INFO info{};
  GetInfo(queue, info);
  return info.numMsgs < info.maxMsgs;
}

bool CDefaultMessaging::FrameHasMessage(EQueue queue) {
  CheckInitialized();
  return m_FramesEnabled.load() && HasMessage(queue);
}

bool CDefaultMessaging::FrameHasRoom(EQueue queue) {
  CheckInitialized();
  return m_FramesEnabled.load() && HasRoom(queue);
}

unsigned CDefaultMessaging::Receive(EQueue queue, unsigned maxLength, u8* buffer) {
  CheckInitialized();
  UTIL_CHECK(buffer != nullptr);
  const ssize_t length =
      msgQReceive(m_Queues[queue].load(), reinterpret_cast<char*>(buffer), maxLength, NO_WAIT);
  if (length < 0) {
    throw CException(ErrorCodes::ms_QueueReceiveFailed, static_cast<u32>(errno));
  }
  // The queue cuts a longer message to maxLength; the bound is kept here too.
  return static_cast<unsigned>(length) < maxLength ? static_cast<unsigned>(length) : maxLength;
}

void CDefaultMessaging::Send(EQueue queue, unsigned length, const u8* data) {
  CheckInitialized();
  UTIL_CHECK(data != nullptr);
  // The queue only reads the bytes; its interface takes them writable.
  if (msgQSend(m_Queues[queue].load(), const_cast<char*>(reinterpret_cast<const char*>(data)), length,
               NO_WAIT, MSG_PRI_NORMAL) != OK) {
    throw CException(ErrorCodes::ms_QueueSendFailed, static_cast<u32>(errno));
  }
}

void CDefaultMessaging::InhibitFrames() {
  CheckInitialized();
  if (!m_FramesEnabled.exchange(false)) {
    return;
  }
  for (EQueue queue : {FrameFromRuntime, FrameToScm, FrameFromScm, FrameToRuntime}) {
    MSG_Q_ID handle = m_Queues[queue].exchange(nullptr);
    // A failed delete leaves nothing to do: the checker stops relaying frames either way.
    static_cast<void>(msgQDelete(handle));
  }
}

bool CDefaultMessaging::CanReceiveUnlockRequestFromRuntime() { return HasMessage(UnlockRequestFromRuntime); }
u8 CDefaultMessaging::ReceiveUnlockRequestFromRuntime(u8 maxLength, u8* buffer) {
  return static_cast<u8>(Receive(UnlockRequestFromRuntime, maxLength, buffer));
}
bool CDefaultMessaging::CanSendUnlockRequestToScm() { return HasRoom(UnlockRequestToScm); }
void CDefaultMessaging::SendInvertedUnlockRequestToScm(u8 length, const u8* data) {
  Send(UnlockRequestToScm, length, data);
}

bool CDefaultMessaging::CanReceiveUnlockResponseFromScm() { return HasMessage(UnlockResponseFromScm); }
u8 CDefaultMessaging::ReceiveInvertedUnlockResponseFromScm(u8 maxLength, u8* buffer) {
  return static_cast<u8>(Receive(UnlockResponseFromScm, maxLength, buffer));
}
bool CDefaultMessaging::CanSendUnlockResponseToRuntime() { return HasRoom(UnlockResponseToRuntime); }
void CDefaultMessaging::SendUnlockResponseToRuntime(u8 length, const u8* data) {
  Send(UnlockResponseToRuntime, length, data);
}

bool CDefaultMessaging::CanReceiveFrameFromRuntime() { return FrameHasMessage(FrameFromRuntime); }
u16 CDefaultMessaging::ReceiveFrameFromRuntime(u16 maxLength, u8* buffer) {
  return static_cast<u16>(Receive(FrameFromRuntime, maxLength, buffer));
}
bool CDefaultMessaging::CanSendFrameToScm() { return FrameHasRoom(FrameToScm); }
void CDefaultMessaging::SendInvertedFrameToScm(u16 length, const u8* data) { Send(FrameToScm, length, data); }

bool CDefaultMessaging::CanReceiveFrameFromScm() { return FrameHasMessage(FrameFromScm); }
u16 CDefaultMessaging::ReceiveInvertedFrameFromScm(u16 maxLength, u8* buffer) {
  return static_cast<u16>(Receive(FrameFromScm, maxLength, buffer));
}
bool CDefaultMessaging::CanSendFrameToRuntime() { return FrameHasRoom(FrameToRuntime); }
void CDefaultMessaging::SendFrameToRuntime(u16 length, const u8* data) { Send(FrameToRuntime, length, data); }

bool CDefaultMessaging::CanReceiveCommandFromRuntime() { return HasMessage(CommandFromRuntime); }
u8 CDefaultMessaging::ReceiveCommandFromRuntime(u8 maxLength, u8* buffer) {
  return static_cast<u8>(Receive(CommandFromRuntime, maxLength, buffer));
}
bool CDefaultMessaging::CanSendCommandToScm() { return HasRoom(CommandToScm); }
void CDefaultMessaging::SendInvertedCommandToScm(u8 length, const u8* data) {
  Send(CommandToScm, length, data);
}

bool CDefaultMessaging::CanReceiveResponseFromScm() { return HasMessage(ResponseFromScm); }
u16 CDefaultMessaging::ReceiveInvertedResponseFromScm(u16 maxLength, u8* buffer) {
  return static_cast<u16>(Receive(ResponseFromScm, maxLength, buffer));
}
bool CDefaultMessaging::CanSendResponseToRuntime() { return HasRoom(ResponseToRuntime); }
void CDefaultMessaging::SendResponseToRuntime(u16 length, const u8* data) {
  Send(ResponseToRuntime, length, data);
}

bool CDefaultMessaging::CanReceiveEventFromScm() { return HasMessage(EventFromScm); }
u8 CDefaultMessaging::ReceiveInvertedEventFromScm(u8 maxLength, u8* buffer) {
  return static_cast<u8>(Receive(EventFromScm, maxLength, buffer));
}
bool CDefaultMessaging::CanSendEventToRuntime() { return HasRoom(EventToRuntime); }
void CDefaultMessaging::SendEventToRuntime(u8 length, const u8* data) { Send(EventToRuntime, length, data); }

}  // namespace Main
