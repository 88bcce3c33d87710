// The checker's log: errors and warnings as 11-byte event records, sent plain
// on the host-side "event" queue, at most four attempts in the life of the
// process. The log keeps its own queue handle, so it works before the
// messaging is initialized and after the frame queues are gone.
#pragma once
#include "ScmTypes.h"

extern "C" {
/// Logs an error record (level 3).
void ScmLogError(u16 code, u16 information0, u32 information1);
/// Logs a warning record (level 2).
void ScmLogWarning(u16 code, u16 information0, u32 information1);
}
