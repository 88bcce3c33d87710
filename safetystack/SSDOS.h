// SSDO server: access of SSDO clients to the own object dictionary (entry points the stack core calls).
#pragma once
#include "SFS.h"

bool SSDOS_Init();
/// True when a response was prepared or busy is set.
bool SSDOS_ProcessRequest(const SFS_FrameHeader* request, SFS_FrameHeader* response, u8* busy);

#if !SCM_PROFILE_LEGACY
/// Preload queue size 1..15; any other value keeps 1 and gives false (the older release has no preload).
bool SSDOS_SetQueueSize(u8 size);
#endif
