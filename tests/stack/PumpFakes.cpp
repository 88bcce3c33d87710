// Fakes of the frame channel, events, task delay, application and dispatcher for the pump tests.
#include "PumpFakes.h"

#include <cerrno>
#include <cstring>

#include "EPSglobal.h"
#include "HNFcom.h"
#include "HNFcyc.h"
#include "HNFevt_EventHook.h"
#include "MFWQZ.h"
#include "SSC.h"
#include "vxworks.h"

EPS_Global EPS_gGlobal = {};

namespace PumpFakes {
State g_pump;

void Reset() {
  g_pump = State{};
  EPS_gGlobal = EPS_Global{};
  EPS_gGlobal.ulModuleState = 0xFF00AA55u;
  EPS_gGlobal.ulCt = 0x1000;
}
}  // namespace PumpFakes

using PumpFakes::g_pump;

u8* HNFcom_GetReceiveBuffer(u8 channel, u8** buffer, u32* length) {
  if (channel != HNFcom_kChFrame) return nullptr;
  if (g_pump.rxOccupied) {
    ++g_pump.rxOccupiedTakes;
    return nullptr;
  }
  if (g_pump.rx.empty()) return nullptr;
  const PumpFakes::Bytes msg = g_pump.rx.front();
  g_pump.rx.pop_front();
  if (!msg.empty()) std::memcpy(g_pump.rxBuf, msg.data(), msg.size());
  g_pump.rxOccupied = true;
  *buffer = g_pump.rxBuf;
  *length = static_cast<u32>(msg.size());
  return g_pump.rxBuf;
}

u8 HNFcom_FreeBuffer(u8, u8* buffer) {
  if (buffer != g_pump.rxBuf) return 1;
  g_pump.rxOccupied = false;
  ++g_pump.rxFrees;
  g_pump.order.push_back("free");
  return 0;
}

u8* HNFcom_GetSendBuffer(u8 channel, u8** buffer, u32 length) {
  if (channel != HNFcom_kChFrame || g_pump.refuseSendBuffer || g_pump.txOccupied || length > sizeof(g_pump.txBuf)) {
    return nullptr;
  }
  g_pump.txOccupied = true;
  *buffer = g_pump.txBuf;
  return g_pump.txBuf;
}

u8 HNFcom_SendBuffer(u8, u8* handle, u8* buffer, u32 length) {
  ++g_pump.sendAttempts;
  if (handle != g_pump.txBuf || buffer != g_pump.txBuf || !g_pump.txOccupied) return 1;
  if (g_pump.otherFailure) {
    errno = SCM_ERRNO_INVALID_ID;
    return 1;
  }
  if (g_pump.fullForever || g_pump.fullResults > 0) {
    if (g_pump.fullResults > 0) --g_pump.fullResults;
    errno = SCM_ERRNO_UNAVAILABLE;
    return 1;
  }
  g_pump.sent.emplace_back(buffer, buffer + length);
  g_pump.txOccupied = false;
  return 0;
}

u8 HNFcom_FreeSendBuffer(u8, u8* handle, u8*, u32) {
  if (handle != g_pump.txBuf || !g_pump.txOccupied) return 1;
  g_pump.txOccupied = false;
  ++g_pump.txFrees;
  return 0;
}

u8 HNFcom_GetSendBufferCount(u8) { return g_pump.freeSlots; }

void HNFevt_EnregisterEventLevel(u32 code, u16 information0, u32 information1, u8 level) {
  g_pump.events.push_back({code, information0, information1, level});
}

int GetTaskDelayTickCount(int divisor) {
  g_pump.tickDivisors.push_back(divisor);
  const int ticks = 100 / divisor;
  return ticks < 10 ? 10 : ticks;
}

STATUS taskDelay(int ticks) {
  g_pump.delays.push_back(ticks);
  return OK;
}

u8 MFWQZ_RequestSwitchOperational(void) { return g_pump.switchOperational; }

bool SSC_ProcessSNMTSSDOFrame(u32 ct, const u8* frame, u16 length) {
  g_pump.order.push_back("dispatch");
  g_pump.dispatches.push_back({ct, frame != nullptr, frame ? PumpFakes::Bytes(frame, frame + length) : PumpFakes::Bytes{}});
  if (frame != nullptr) g_pump.pendingTrues = g_pump.truesPerFrame;
  if (g_pump.pendingTrues == 0) return false;
  --g_pump.pendingTrues;
  return true;
}

const u8* SSC_GetRxPayload(const SFS_FrameHeader*) { return nullptr; }
u8* SSC_GetTxPayload(const SFS_FrameHeader*) { return nullptr; }
