// Doubles of the own node (SNMT slave and SSDO server): the configuration
// manager's tests talk to remote nodes only, so requests to the own node are
// refused and its timers do nothing. Drop this file where the real modules link.
#include "SNMTS.h"
#include "SSDOS.h"

bool SNMTS_Init() { return true; }

bool SNMTS_ProcessRequest(u32, const SFS_FrameHeader*, SFS_FrameHeader*, u8* busy) {
  *busy = 0;
  return false;
}

void SNMTS_TimerCheck(u32, u8*) {}

bool SSDOS_Init() { return true; }

bool SSDOS_ProcessRequest(const SFS_FrameHeader*, SFS_FrameHeader*, u8* busy) {
  *busy = 0;
  return false;
}
