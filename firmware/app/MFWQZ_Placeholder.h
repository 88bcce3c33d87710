// PLACEHOLDER: what a test sees of the application's stand-ins (Qor variable
// channel) until their owners replace
// MFWQZ_Placeholder.cpp; delete both with them.
#pragma once
#include "MFWQZ.h"
#include "ScmTypes.h"

/// Optional-module list the stand-in was last asked to send.
extern u16 MFWQZ_gausPlaceholderOptionalList[10];
/// Calls of each stand-in send to the Qor controller: version, password, optional modules, setup mode, key medium (older release).
extern u32 MFWQZ_gaulPlaceholderQorSends[5];
/// One send to the Qor controller as the stand-in saw it.
struct MFWQZ_PlaceholderQorSend {
  u32 ulKind;   ///< index of MFWQZ_gaulPlaceholderQorSends: 0 version, 1 password, 2 optional modules, 3 setup mode, 4 key medium
  u32 ulValue;  ///< version or setup-mode flag; 0 for the password and the list (kept whole elsewhere)
};
/// Sends the log keeps; later ones are counted only.
inline constexpr u32 MFWQZ_kPlaceholderQorLogMax = 8;
/// The sends in call order, the first MFWQZ_kPlaceholderQorLogMax of them.
extern MFWQZ_PlaceholderQorSend MFWQZ_gaPlaceholderQorLog[MFWQZ_kPlaceholderQorLogMax];
/// Entries of MFWQZ_gaPlaceholderQorLog in use.
extern u32 MFWQZ_gulPlaceholderQorLogCount;
/// Password the stand-in was last asked to send.
extern u8 MFWQZ_gaucPlaceholderPassword[16];
/// Results the stand-in's Qor latches return (failed, recovered); tests set them.
extern u8 MFWQZ_gaucPlaceholderQorLatches[2];

/// What a stand-in of the application's cycle records of its call.
enum MFWQZ_PlaceholderStep : u8 {
  MFWQZ_kPhModuleXChg = 0,      ///< module exchange machine
  MFWQZ_kPhCorvaneChgCnf = 1,   ///< key-medium change machine
  MFWQZ_kPhConfirmation = 2,    ///< confirmation machine
  MFWQZ_kPhCorvaneFormat = 3,   ///< key-medium format machine
  MFWQZ_kPhUsrDataFormat = 4,   ///< user-data format machine
  MFWQZ_kPhSetupMode = 5,       ///< setup mode
  MFWQZ_kPhReadCorvaneId = 6,   ///< key-medium identity read
  MFWQZ_kPhRevLoad = 7,         ///< "fwrevcnf.bin" load
  MFWQZ_kPhAutoLoad = 8,        ///< "autocnf.bin" load
  MFWQZ_kPhSetupModeInit = 9,   ///< setup mode initialised
  MFWQZ_kPhStepCount = 10       ///< number of recorded steps
};
/// Longest call sequence kept.
inline constexpr u32 MFWQZ_kPlaceholderCallsMax = 32;
/// The stand-ins' calls in order (the first MFWQZ_kPlaceholderCallsMax).
extern u8 MFWQZ_gaucPlaceholderCalls[MFWQZ_kPlaceholderCallsMax];
/// Calls recorded so far.
extern u32 MFWQZ_gulPlaceholderCallCount;
/// Results the stand-ins return, by step; 1 unless a test changes them.
extern u8 MFWQZ_gaucPlaceholderResults[MFWQZ_kPhStepCount];
/// Records a stand-in's call; its result.
u8 MFWQZ_PhCall(MFWQZ_PlaceholderStep step);

