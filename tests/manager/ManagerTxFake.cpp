// Transmit-block fake of the configuration manager's unit tests: records each
// frame in queue form (rotated as the frame pump does) and can refuse a block or a send.
#include <cstring>

#include "ManagerFakes.h"
#include "SAPL.h"

using MgrTest::g_fakes;

u8* SHNF_GetTxMemBlock(u16 length, u8 telegramType) {
  ++g_fakes.blockRequests;
  if (g_fakes.refuseBlock || g_fakes.out || length > sizeof g_fakes.buffer) {
    return nullptr;
  }
  g_fakes.out = true;
  g_fakes.outLength = length;
  g_fakes.outType = telegramType;
  std::memset(g_fakes.buffer, 0xEE, sizeof g_fakes.buffer);
  return g_fakes.buffer;
}

u8 SHNF_MarkTxMemBlock(u8* block) {
  if (!g_fakes.out || block != g_fakes.buffer) {
    return 0;
  }
  g_fakes.out = false;
  if (g_fakes.refuseSend) {
    return 0;
  }
  g_fakes.sent.push_back({g_fakes.outType, MgrTest::BlockToQueue(g_fakes.buffer, g_fakes.outLength, g_fakes.outType)});
  return 1;
}

void SHNF_ReleaseTxMemBlock(u8* block) {
  if (g_fakes.out && block == g_fakes.buffer) {
    g_fakes.out = false;
    ++g_fakes.releases;
  }
}

