// Self-checks of the firmware: the executable and memory CRC checks, the idle
// parameter check and the machine options written at start-up.
#pragma once
#include "ScmTypes.h"

/// 0 when the executable self-test passed and the reference CRCs were taken; 1 otherwise.
u8 HNFhwt_Init(void);
/// One step of the memory CRC manager (cyclic task, from start-up step 16 on).
void HNFhwt_Manager(void);
/// One pass of the idle checks (background task).
void EPS_Idle(void);
/// Turns the machine options into the SCM's own additional parameter set (start-up).
void EPS_WriteExternalMachineOptionsToSod(void);
