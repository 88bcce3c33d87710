// PLACEHOLDER: what a test sees of the stand-in application until the real
// application replaces MFWQZ_Placeholder.cpp; delete both with it.
#pragma once
#include "MFWQZ.h"
#include "ScmTypes.h"

/// Largest command payload the stand-in keeps.
inline constexpr u32 MFWQZ_kPlaceholderPayloadMax = 42;

/// What the stand-in's MFWQZ_RemoteControlRcv saw last.
struct MFWQZ_PlaceholderRcv {
  u32 ulCount;                                 ///< commands received so far
  u16 usLength;                                ///< payload length of the last one
  u32 ulReply;                                 ///< reply identifier of the last one
  u8 aucPayload[MFWQZ_kPlaceholderPayloadMax];  ///< first bytes of the last payload
};

/// Commands that reached the stand-in application.
extern MFWQZ_PlaceholderRcv MFWQZ_gPlaceholderRcv;
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

/// Bytes of the machine options the stand-in hands out.
inline constexpr u32 MFWQZ_kPlaceholderMachineOptionsSize = 76;
/// The machine options MFWQZ_GetMachineOptions hands out once a test set them.
extern u8 MFWQZ_gaucPlaceholderMachineOptions[MFWQZ_kPlaceholderMachineOptionsSize];
/// 1 once a test set the machine options (else the stand-in answers 2, none).
extern u8 MFWQZ_gbPlaceholderMachineOptionsSet;
