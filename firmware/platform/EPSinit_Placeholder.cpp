// PLACEHOLDER for the stack initialisation and the frame pump: only what the
// cycle needs to run. The stack start-up that loads the parameter files
// deletes this file and switches IRQ to the real pump.
#include "EPSglobal.h"
#include "EPSinit.h"
#include "HNFcom.h"
#include "HNFiff_ModuleState.h"

/// CT multiplier of time base 2.
static constexpr u64 EPS_kPlaceholderCtMultiplier = 0x02752546u;

void EPS_Init(const HNFstp_File* /*files*/, const HNFstp_Identity* /*identity*/) {
  EPS_gGlobal.ulModuleState = HNFiff_kModuleStateNormal;
  EPS_gGlobal.ullCtMultiplier = EPS_kPlaceholderCtMultiplier;
}

void EPS_RxTxSsdoStandIn(void) {
  u8* pucFrame = nullptr;
  u32 ulLength = 0;
  while (HNFcom_GetReceiveBuffer(HNFcom_kChFrame, &pucFrame, &ulLength) != nullptr) {
    (void)HNFcom_FreeBuffer(HNFcom_kChFrame, pucFrame);
  }
}
