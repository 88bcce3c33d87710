// Recording error callback and transmit-block fake of the stack tests.
#include "StackFakes.h"

#include <algorithm>
#include <cstring>

#include "SAPL.h"

namespace StackTest {
std::vector<ErrorReport> g_errors;
std::vector<SnFailReport> g_snFails;
TxFake g_tx;

void ResetFakes() {
  g_errors.clear();
  g_snFails.clear();
  g_tx = TxFake{};
}

void PrintTo(const ErrorReport& e, std::ostream* os) {
  *os << std::hex << "{0x" << e.code << ", 0x" << e.info << "}" << std::dec;
}

bool HasError(u16 code) {
  return std::any_of(g_errors.begin(), g_errors.end(), [code](const ErrorReport& e) { return e.code == code; });
}

u16 MaxErrorCode() {
  u16 max = 0;
  for (const ErrorReport& e : g_errors) {
    max = std::max(max, e.code);
  }
  return max;
}
}  // namespace StackTest

using StackTest::g_tx;

void SAPL_SERR_SignalErrorClbk(u16 code, u32 info) { StackTest::g_errors.push_back({code, info}); }

void SAPL_ScmSnFailClbk(u16 SADR, u8 group, u8 code, u16 fsmIndex) {
  StackTest::g_snFails.push_back({SADR, group, code, fsmIndex});
}

u8* SHNF_GetTxMemBlock(u16 length, u8 telegramType) {
  g_tx.requests.push_back({telegramType, length});
  if (g_tx.refuseBlock || g_tx.out || length > sizeof(g_tx.buffer)) {
    return nullptr;
  }
  g_tx.out = true;
  g_tx.outLength = length;
  g_tx.outType = telegramType;
  std::memset(g_tx.buffer, 0xEE, sizeof(g_tx.buffer));
  return g_tx.buffer;
}

u8 SHNF_MarkTxMemBlock(u8* block) {
  if (!g_tx.out || block != g_tx.buffer) {
    return 0;
  }
  g_tx.out = false;
  if (g_tx.refuseSend) {
    return 0;
  }
  g_tx.frames.emplace_back(g_tx.buffer, g_tx.buffer + g_tx.outLength);
  g_tx.types.push_back(g_tx.outType);
  return 1;
}

void SHNF_ReleaseTxMemBlock(u8* block) {
  if (g_tx.out && block == g_tx.buffer) {
    g_tx.out = false;
    ++g_tx.releases;
  }
}
