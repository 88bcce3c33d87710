// PLACEHOLDER for the memory CRC manager, the idle checks and the machine
// options: only the executable self-test runs. The self-check module deletes
// this file.
#include "HNFhwt.h"
#include "HNFhwt_SelfTest.h"

u8 HNFhwt_Init(void) { return HNFhwt_VerifyExecutable() != 0 ? 0 : 1; }
void HNFhwt_Manager(void) {}
void EPS_Idle(void) {}
void EPS_WriteExternalMachineOptionsToSod(void) {}
