// Recording doubles of the stack modules that the core calls but that are
// built separately: SNMT slave, SSDO server, SCM, SNMT master, SSDO client.
// Linked only into tests that link the core modules without the real ones.
#pragma once
#include <deque>
#include <string>
#include <vector>

#include "SFS.h"

namespace StackDoubles {

using Bytes = std::vector<u8>;  ///< a byte sequence

/// What a request processor double does on one call.
enum class Step : u8 {
  Fail,        ///< returns false
  Busy,        ///< sets busy, returns true
  Respond,     ///< prepares the scripted response, returns true
  TrueSilent   ///< returns true without preparing a response
};

/// One scripted call of a request processor.
struct Script {
  Step step = Step::Respond;     ///< what the call does
  SFS_FrameHeader response = {};  ///< response header written on Respond
  Bytes payload;                 ///< response payload written on Respond
};

/// One recorded call of a request or response processor.
struct ProcessCall {
  u32 ct;                  ///< ct argument
  SFS_FrameHeader header;  ///< the received header
  Bytes payload;           ///< the received payload (LE bytes)
  u8 busyOnEntry;          ///< busy as the processor found it
};

/// State of every double.
struct State {
  std::vector<std::string> calls;   ///< every call, by function name, in order
  bool snmtsInit = true;            ///< result of SNMTS_Init
  bool ssdosInit = true;            ///< result of SSDOS_Init
  bool ssdocInit = true;            ///< result of SSDOC_Init
  bool snmtmInit = true;            ///< result of SNMTM_Init
  std::deque<Script> snmtsScript;   ///< next steps of SNMTS_ProcessRequest (empty: Fail)
  std::deque<Script> ssdosScript;   ///< next steps of SSDOS_ProcessRequest (empty: Fail)
  std::vector<ProcessCall> snmtsRequests;  ///< SNMTS_ProcessRequest calls
  std::vector<ProcessCall> ssdosRequests;  ///< SSDOS_ProcessRequest calls
  bool snmtmResult = true;          ///< result of SNMTM_ProcessResponse
  bool ssdocResult = true;          ///< result of SSDOC_ProcessResponse
  std::vector<ProcessCall> snmtmResponses;  ///< SNMTM_ProcessResponse calls
  std::vector<ProcessCall> ssdocResponses;  ///< SSDOC_ProcessResponse calls
  u8 timerSpend = 0;                ///< frames SNMTS_TimerCheck spends per call
  u8 triggerSpend = 0;              ///< frames SCM_Trigger spends per call
  u8 snmtmSpend = 0;                ///< frames SNMTM_BuildRequest spends per call
  u8 ssdocSpend = 0;                ///< frames SSDOC_BuildRequest spends per call
  std::vector<u8> counterSeen;      ///< free-frame counter on entry of each timer/trigger/build call
  std::vector<u32> ctSeen;          ///< ct of each timer/trigger/build call
};
/// The doubles' state.
extern State g_doubles;
/// Back to the defaults.
void Reset();

}  // namespace StackDoubles
