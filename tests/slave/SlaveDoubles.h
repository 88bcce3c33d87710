// Recording doubles of what the own node calls outside its modules: the SCM's
// start and stop, the application's callbacks, and the master modules that the
// dispatcher and the stack's start-up call. A test sets their results.
#pragma once
#include "ScmTypes.h"

namespace SlaveTest {

/// State of the doubles.
struct Doubles {
  int scmActivate = 0;          ///< SCM_Activate calls
  int scmDeactivate = 0;        ///< SCM_Deactivate calls
  bool scmActivateResult = true;  ///< result of SCM_Activate
  bool paramSetProcessed = true;  ///< result of SAPL_SNMTS_ParameterSetProcessed
  int calcChkSum = 0;           ///< SAPL_SNMTS_CalcParamChkSumClbk calls
  int switchToOp = 0;           ///< SAPL_SNMTS_SwitchToOpReqClbk calls
  int errorAck = 0;             ///< SAPL_SNMTS_ErrorAckClbk calls
};
/// The doubles' state.
extern Doubles g_d;

}  // namespace SlaveTest
