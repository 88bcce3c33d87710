// PLACEHOLDER for the SADR-UDID store writer: requests are counted, nothing is
// written. The writer deletes this file.
#include "EPSudid.h"

/// Write requests seen by the stand-in.
u32 EPS_gulPlaceholderStoreRequests;

void EPS_StoreSadrUdidInit(void) {}
void EPS_StartStoreSadrUdid(void) { ++EPS_gulPlaceholderStoreRequests; }
u8 EPS_UdidStoreInProgress(void) { return 0; }
void EPS_StoreSadrUdid(void) {}
