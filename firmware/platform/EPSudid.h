// Writer of the SADR-UDID list.
#pragma once
#include "ScmTypes.h"

/// Prepares the writer (stack initialisation).
void EPS_StoreSadrUdidInit(void);
/// Asks for the list to be written.
void EPS_StartStoreSadrUdid(void);
/// 1 while a write is in progress.
u8 EPS_UdidStoreInProgress(void);
/// One step of the write.
void EPS_StoreSadrUdid(void);
