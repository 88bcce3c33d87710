// PLACEHOLDER: what a test sees of the stand-in application until the real
// application replaces MFWQZ_Placeholder.cpp; delete both with it.
#pragma once
#include "MFWQZ.h"
#include "ScmTypes.h"

/// Calls of the stand-in MFWQZ_ResetNodeGuarding.
extern u32 MFWQZ_gulPlaceholderResetGuardingCount;
/// Calls of the stand-in MFWQZ_Main.
extern u32 MFWQZ_gulPlaceholderMainCount;
/// Optional-module list the stand-in was last asked to send.
extern u16 MFWQZ_gausPlaceholderOptionalList[10];
/// Calls of each stand-in send to the Qor controller: version, password, optional modules, setup mode.
extern u32 MFWQZ_gaulPlaceholderQorSends[4];
/// Results the stand-in's Qor latches return (failed, recovered); tests set them.
extern u8 MFWQZ_gaucPlaceholderQorLatches[2];

/// Encoder changes the stand-in was told about.
struct MFWQZ_PlaceholderEncoderChg {
  u32 ulCount;   ///< calls so far
  u16 usSadr;    ///< SADR of the last one
  u16 usHandle;  ///< handle of the last one
};

/// The stand-in's record of MFWQZ_EncoderChg.
extern MFWQZ_PlaceholderEncoderChg MFWQZ_gPlaceholderEncoderChg;

/// The stand-in's record of the node status reports of one SADR.
struct MFWQZ_PlaceholderNodeStatus {
  u32 ulCount;      ///< reports so far
  u8 ucOldStatus;   ///< old status of the last one
  u8 ucNewStatus;   ///< new status of the last one
};

/// Node status reports by SADR (entry 0 unused), as SAPL_ScmNodeStatusChangedClbk received them.
extern MFWQZ_PlaceholderNodeStatus MFWQZ_gaPlaceholderNodeStatus[MFWQZ_kModuleCount];
