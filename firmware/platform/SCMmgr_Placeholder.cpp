// PLACEHOLDER for the configuration manager, the SNMT master and the SSDO
// client: the entry points the stack and the frame pump call, doing nothing.
// The configuration manager's library replaces this file and its header.
#include "SCM.h"
#include "SCMmgr_Placeholder.h"
#include "SNMTM.h"
#include "SSDOC.h"

SCM_PlaceholderMgr SCM_gPlaceholderMgr;

void SCM_Init() { ++SCM_gPlaceholderMgr.ulInitCalls; }
void SCM_Trigger(u32 /*ct*/, u8* /*freeFrames*/) { ++SCM_gPlaceholderMgr.ulTriggerCalls; }
void SCM_Deactivate() {}
bool SCM_Activate() {
  ++SCM_gPlaceholderMgr.ulActivateCalls;
  return SCM_gPlaceholderMgr.ucActivateResult != 0;
}
bool SNMTM_Init() { return true; }
void SNMTM_BuildRequest(u32 /*ct*/, u8* /*freeFrames*/) {}
bool SNMTM_ProcessResponse(u32 /*ct*/, const SFS_FrameHeader* /*header*/, const u8* /*payload*/) { return true; }
bool SSDOC_Init() { return true; }
void SSDOC_BuildRequest(u32 /*ct*/, u8* /*freeFrames*/) {}
bool SSDOC_ProcessResponse(u32 /*ct*/, const SFS_FrameHeader* /*header*/, const u8* /*payload*/) { return true; }
