// PLACEHOLDER: what a test sees of the application's stand-ins (Qor variable
// channel) until their owners replace
// MFWQZ_Placeholder.cpp; delete both with them.
#pragma once
#include "MFWQZ.h"
#include "ScmTypes.h"

/// Optional-module list the stand-in was last asked to send.
extern u16 MFWQZ_gausPlaceholderOptionalList[10];
/// Calls of each stand-in send to the Qor controller: version, password, optional modules, setup mode.
extern u32 MFWQZ_gaulPlaceholderQorSends[4];
/// Results the stand-in's Qor latches return (failed, recovered); tests set them.
extern u8 MFWQZ_gaucPlaceholderQorLatches[2];
