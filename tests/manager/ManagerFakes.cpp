// Recording fakes of the configuration manager's tests.
#include "ManagerFakes.h"

#include <algorithm>
#include <cstring>

#include "SAPL.h"
#include "SCM.h"
#include "SFS.h"

namespace MgrTest {
Fakes g_fakes;

void ResetFakes() { g_fakes = Fakes{}; }

u16 MaxErrorCode() {
  u16 max = 0;
  for (const ErrorReport& e : g_fakes.errors) {
    max = std::max(max, e.code);
  }
  return max;
}

bool HasError(u16 code) { return CountError(code) > 0; }

std::size_t CountError(u16 code) {
  return static_cast<std::size_t>(std::count_if(g_fakes.errors.begin(), g_fakes.errors.end(),
                                                [code](const ErrorReport& e) { return e.code == code; }));
}

Bytes BlockToQueue(const u8* block, u16 length, u8 type) {
  // Types 2 and 4: TWO is the first length/2 + 1 bytes; slim: TWO is 6 bytes, 7 above 20.
  const std::size_t two = type == SFS_k_TT_SSDO_SLIM ? (length > 20 ? 7U : 6U) : length / 2U + 1U;
  Bytes q(block + two, block + length);
  q.insert(q.end(), block, block + two);
  return q;
}
}  // namespace MgrTest

using MgrTest::g_fakes;

void SAPL_SERR_SignalErrorClbk(u16 code, u32 info) { g_fakes.errors.push_back({code, info}); }

bool SAPL_ScmProcessSn(u16 SADR) {
  g_fakes.processed.push_back(SADR);
  return g_fakes.skipSadr.count(SADR) == 0;
}

void SAPL_ScmNodeStatusChangedClbk(u16 SADR, u8 oldStatus, u8 newStatus) {
  g_fakes.statuses.push_back({SADR, oldStatus, newStatus});
}

void SAPL_ScmUdidMismatchClbk(u16 SADR, const u8* receivedUdid, u16 fsmIndex) {
  g_fakes.mismatches.push_back({SADR, MgrTest::Bytes(receivedUdid, receivedUdid + 6), fsmIndex});
}

bool SAPL_ScmRevisionNumberClbk(u16 SADR, u32 expected, u32 received) {
  (void)SADR;
  g_fakes.revisionCalls.push_back(received);
  return g_fakes.revisionOk && expected == received;
}

void SAPL_ScmSnFailClbk(u16 SADR, u8 group, u8 code, u16 fsmIndex) {
  g_fakes.snFails.push_back({SADR, group, code, fsmIndex});
  // As the firmware does: stack failures 4/1 and 4/4 are acknowledged at once (the older release: 4/1 only).
  if (g_fakes.immediateAck && group == 4 && (code == 1 || (!SCM_kLegacy && code == 4))) {
    (void)SCM_SnFailAck(fsmIndex, 4, code);
  }
}

u64 SAPL_SCM_GetInitialCtValueClbk() { return g_fakes.initialCt; }
