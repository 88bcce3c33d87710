// PLACEHOLDER: what a test sees of the application's stand-ins (remote
// control, Qor variable channel) until their owners replace
// MFWQZ_Placeholder.cpp; delete both with them.
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
/// Optional-module list the stand-in was last asked to send.
extern u16 MFWQZ_gausPlaceholderOptionalList[10];
/// Calls of each stand-in send to the Qor controller: version, password, optional modules, setup mode.
extern u32 MFWQZ_gaulPlaceholderQorSends[4];
/// Results the stand-in's Qor latches return (failed, recovered); tests set them.
extern u8 MFWQZ_gaucPlaceholderQorLatches[2];
