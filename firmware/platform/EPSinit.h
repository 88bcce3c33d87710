// Stack initialisation with the loaded parameter files.
#pragma once
#include "HNFstp.h"
#include "ScmTypes.h"

/// Initialises the stack: files are the three list slots in list order.
void EPS_Init(const HNFstp_File* files, const HNFstp_Identity* identity);
/// The frame pump the cycle runs until the stack's own pump is switched in.
void EPS_RxTxSsdoStandIn(void);
