// Recording doubles of the own node's neighbours.
#include "SlaveDoubles.h"

#include "SAPL.h"
#include "SCM.h"
#include "SNMTM.h"
#include "SSDOC.h"

namespace SlaveTest {
Doubles g_d;
}  // namespace SlaveTest

using SlaveTest::g_d;

// ---- stand-ins of the configuration manager and the master modules ----
void SCM_Init() {}
void SCM_Trigger(u32, u8*) {}
bool SCM_Activate() {
  ++g_d.scmActivate;
  return g_d.scmActivateResult;
}
void SCM_Deactivate() { ++g_d.scmDeactivate; }
bool SNMTM_Init() { return true; }
void SNMTM_BuildRequest(u32, u8*) {}
bool SNMTM_ProcessResponse(u32, const SFS_FrameHeader*, const u8*) { return true; }
bool SSDOC_Init() { return true; }
void SSDOC_BuildRequest(u32, u8*) {}
bool SSDOC_ProcessResponse(u32, const SFS_FrameHeader*, const u8*) { return true; }

// ---- the application side of the own node ----
bool SAPL_SNMTS_ParameterSetProcessed() { return g_d.paramSetProcessed; }
void SAPL_SNMTS_CalcParamChkSumClbk() { ++g_d.calcChkSum; }
void SAPL_SNMTS_SwitchToOpReqClbk() { ++g_d.switchToOp; }
void SAPL_SNMTS_ErrorAckClbk() { ++g_d.errorAck; }
