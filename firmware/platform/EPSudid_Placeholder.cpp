// PLACEHOLDER for the SADR-UDID store writer: requests are counted, nothing is
// written, and the host's resets are allowed again as after the real write.
// The writer deletes this file.
#include "EPSudid.h"

#include "HNFstp.h"
#include "ScmSystemCalls.h"

/// Write requests seen by the stand-in.
u32 EPS_gulPlaceholderStoreRequests;

void EPS_StoreSadrUdidInit(void) {}
void EPS_StartStoreSadrUdid(void) {
  ++EPS_gulPlaceholderStoreRequests;
  (void)ScmUnlockReset(HNFstp_usSdn);
}
u8 EPS_UdidStoreInProgress(void) { return 0; }
void EPS_StoreSadrUdid(void) {}
