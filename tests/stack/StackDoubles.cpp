// Recording doubles of the SNMT slave, SSDO server, SCM, SNMT master and SSDO client.
#include "StackDoubles.h"

#include <algorithm>
#include <cstring>

#include "SCM.h"
#include "SNMTM.h"
#include "SNMTS.h"
#include "SSC.h"
#include "SSDOC.h"
#include "SSDOS.h"

namespace StackDoubles {
State g_doubles;

void Reset() { g_doubles = State{}; }

namespace {
Bytes RxPayload(const SFS_FrameHeader* header, const u8* payload) {
  if (payload == nullptr) {
    payload = SSC_GetRxPayload(header);
  }
  return payload == nullptr ? Bytes{} : Bytes(payload, payload + header->ucLe);
}

/// Request processor contract: read busy, clear it, set it again only for another step.
bool RunScript(std::deque<Script>& script, std::vector<ProcessCall>& log, u32 ct,
               const SFS_FrameHeader* request, SFS_FrameHeader* response, u8* busy) {
  log.push_back({ct, *request, RxPayload(request, nullptr), *busy});
  *busy = 0;
  if (script.empty()) {
    return false;
  }
  const Script s = script.front();
  script.pop_front();
  switch (s.step) {
    case Step::Fail: return false;
    case Step::Busy: *busy = 1; return true;
    case Step::TrueSilent: return true;
    case Step::Respond: {
      *response = s.response;
      u8* out = SSC_GetTxPayload(response);
      if (out != nullptr && !s.payload.empty()) {
        std::memcpy(out, s.payload.data(), std::min<size_t>(s.payload.size(), SSC_k_PAYLOAD_SIZE));
      }
      return true;
    }
  }
  return false;
}

/// A request builder: recorded, then spends up to its share of the free frames.
void Builder(const char* name, u32 ct, u8* counter, u8 spend) {
  g_doubles.calls.push_back(name);
  g_doubles.ctSeen.push_back(ct);
  g_doubles.counterSeen.push_back(counter == nullptr ? 0xFF : *counter);
  if (counter != nullptr) {
    *counter = static_cast<u8>(*counter - std::min(*counter, spend));
  }
}

/// A response processor: recorded with the received payload, then its scripted result.
bool Response(const char* name, std::vector<ProcessCall>& log, u32 ct, const SFS_FrameHeader* header,
              const u8* payload, bool result) {
  g_doubles.calls.push_back(name);
  log.push_back({ct, *header, RxPayload(header, payload), 0});
  return result;
}
}  // namespace
}  // namespace StackDoubles

using StackDoubles::g_doubles;

bool SNMTS_Init() {
  g_doubles.calls.push_back("SNMTS_Init");
  return g_doubles.snmtsInit;
}

bool SNMTS_ProcessRequest(u32 ct, const SFS_FrameHeader* request, SFS_FrameHeader* response, u8* busy) {
  g_doubles.calls.push_back("SNMTS_ProcessRequest");
  return StackDoubles::RunScript(g_doubles.snmtsScript, g_doubles.snmtsRequests, ct, request, response, busy);
}

void SNMTS_TimerCheck(u32 ct, u8* freeFrames) { StackDoubles::Builder("SNMTS_TimerCheck", ct, freeFrames, g_doubles.timerSpend); }

bool SSDOS_Init() {
  g_doubles.calls.push_back("SSDOS_Init");
  return g_doubles.ssdosInit;
}

bool SSDOS_ProcessRequest(const SFS_FrameHeader* request, SFS_FrameHeader* response, u8* busy) {
  g_doubles.calls.push_back("SSDOS_ProcessRequest");
  return StackDoubles::RunScript(g_doubles.ssdosScript, g_doubles.ssdosRequests, 0, request, response, busy);
}

void SCM_Init() { g_doubles.calls.push_back("SCM_Init"); }

void SCM_Trigger(u32 ct, u8* freeFrames) { StackDoubles::Builder("SCM_Trigger", ct, freeFrames, g_doubles.triggerSpend); }

bool SNMTM_Init() {
  g_doubles.calls.push_back("SNMTM_Init");
  return g_doubles.snmtmInit;
}

void SNMTM_BuildRequest(u32 ct, u8* freeFrames) { StackDoubles::Builder("SNMTM_BuildRequest", ct, freeFrames, g_doubles.snmtmSpend); }

bool SNMTM_ProcessResponse(u32 ct, const SFS_FrameHeader* header, const u8* payload) {
  return StackDoubles::Response("SNMTM_ProcessResponse", g_doubles.snmtmResponses, ct, header, payload, g_doubles.snmtmResult);
}

bool SSDOC_Init() {
  g_doubles.calls.push_back("SSDOC_Init");
  return g_doubles.ssdocInit;
}

void SSDOC_BuildRequest(u32 ct, u8* freeFrames) { StackDoubles::Builder("SSDOC_BuildRequest", ct, freeFrames, g_doubles.ssdocSpend); }

bool SSDOC_ProcessResponse(u32 ct, const SFS_FrameHeader* header, const u8* payload) {
  return StackDoubles::Response("SSDOC_ProcessResponse", g_doubles.ssdocResponses, ct, header, payload, g_doubles.ssdocResult);
}
