// The own safety domain number, held in object 0x1200/1.
#pragma once
#include "ScmTypes.h"

/// Resolves 0x1200/1; refuses a before-read callback (0xF201).
bool SDN_Init();
/// The current own domain number.
u16 SDN_GetSdn();
/// Writes 0x1200/1 as an application write (read-only to the network).
bool SDN_SetSdn(u16 sdn);
