// The frame channel, event hook, task delay and application answer around the
// real frame pump, for the runs of the configuration manager through it.
#include <cerrno>
#include <cstring>

#include "EPSglobal.h"
#include "HNFcom.h"
#include "HNFcyc.h"
#include "HNFevt_EventHook.h"
#include "MFWQZ.h"
#include "ManagerFakes.h"
#include "vxworks.h"

EPS_Global EPS_gGlobal = {};

namespace {
u8 s_rxBuf[HNFcom_kFrameSize];  ///< the channel's receive buffer
u8 s_txBuf[HNFcom_kFrameSize];  ///< the channel's send buffer
bool s_txOut = false;           ///< send buffer handed out
}  // namespace

using MgrTest::g_fakes;

u8* HNFcom_GetReceiveBuffer(u8, u8** buffer, u32* length) {
  if (g_fakes.rx.empty()) {
    return nullptr;
  }
  const MgrTest::Bytes msg = g_fakes.rx.front();
  g_fakes.rx.erase(g_fakes.rx.begin());
  std::memcpy(s_rxBuf, msg.data(), msg.size());
  *buffer = s_rxBuf;
  *length = static_cast<u32>(msg.size());
  return s_rxBuf;
}

u8 HNFcom_FreeBuffer(u8, u8*) { return 0; }

u8* HNFcom_GetSendBuffer(u8, u8** buffer, u32 length) {
  ++g_fakes.blockRequests;
  if (g_fakes.refuseBlock || s_txOut || length > sizeof s_txBuf) {
    return nullptr;
  }
  s_txOut = true;
  *buffer = s_txBuf;
  return s_txBuf;
}

u8 HNFcom_SendBuffer(u8, u8*, u8* buffer, u32 length) {
  if (g_fakes.refuseSend) {
    errno = SCM_ERRNO_INVALID_ID;
    return 1;
  }
  g_fakes.sent.push_back({0, MgrTest::Bytes(buffer, buffer + length)});
  s_txOut = false;
  return 0;
}

u8 HNFcom_FreeSendBuffer(u8, u8*, u8*, u32) {
  s_txOut = false;
  ++g_fakes.releases;
  return 0;
}

u8 HNFcom_GetSendBufferCount(u8) { return g_fakes.freeSlots; }

void HNFevt_EnregisterEventLevel(u32 code, u16, u32, u8) { g_fakes.events.push_back(code); }

int GetTaskDelayTickCount(int) { return 10; }

STATUS taskDelay(int) { return OK; }

u8 MFWQZ_RequestSwitchOperational(void) { return 0; }
