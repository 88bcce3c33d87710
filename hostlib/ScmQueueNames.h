// Names of the fourteen message queues of a safety domain and of its two cycle
// semaphores (which carry the firmware-side frame queue names).
//
// Host side "/scm%04u/<suffix>" carries plain bytes; firmware side
// "/scm%04u/~<suffix>" carries every byte complemented. The buffer has no size
// parameter: callers supply SCM_QUEUE_NAME_SIZE bytes, and a suffix longer
// than the longest known one is refused so that never more is written.
#pragma once

#include "ScmTypes.h"

/// Bytes a name buffer must hold: "/scm1023/~unlock-response" and its NUL.
inline constexpr unsigned SCM_QUEUE_NAME_SIZE = 26;
/// Longest suffix accepted: "unlock-response".
inline constexpr unsigned SCM_QUEUE_SUFFIX_MAX = 15;

/// Suffix of the event queue (firmware to host).
inline constexpr const char* SCM_QUEUE_EVENT = "event";
/// Suffix of the response queue (firmware to host).
inline constexpr const char* SCM_QUEUE_STATUS = "status";
/// Suffix of the command queue (host to firmware).
inline constexpr const char* SCM_QUEUE_COMMAND = "command";
/// Suffix of the queue of frames to transmit (firmware to host).
inline constexpr const char* SCM_QUEUE_FRAME_RECEIVE = "frame-receive";
/// Suffix of the queue of frames received from the network (host to firmware).
inline constexpr const char* SCM_QUEUE_FRAME_SEND = "frame-send";
/// Suffix of the unlock-response queue (firmware to host).
inline constexpr const char* SCM_QUEUE_UNLOCK_RESPONSE = "unlock-response";
/// Suffix of the unlock-request queue (host to firmware).
inline constexpr const char* SCM_QUEUE_UNLOCK_REQUEST = "unlock-request";

/// "/scm%04u/%s" into buffer; null when sdn is not 1 to 1023, suffix or buffer
/// is null, or the suffix is longer than SCM_QUEUE_SUFFIX_MAX.
char* GetQualifiedRuntimeQueueName(u16 sdn, const char* suffix, char* buffer);
/// "/scm%04u/~%s" into buffer; null as for GetQualifiedRuntimeQueueName.
char* GetQualifiedScmQueueName(u16 sdn, const char* suffix, char* buffer);

/// Host side of "event".
char* ScmGetEventQueueToRuntimeName(u16 sdn, char* buffer);
/// Firmware side of "event".
char* ScmGetEventQueueFromScmName(u16 sdn, char* buffer);
/// Host side of "status".
char* ScmGetResponseQueueToRuntimeName(u16 sdn, char* buffer);
/// Firmware side of "status".
char* ScmGetResponseQueueFromScmName(u16 sdn, char* buffer);
/// Host side of "command".
char* ScmGetCommandQueueFromRuntimeName(u16 sdn, char* buffer);
/// Firmware side of "command".
char* ScmGetCommandQueueToScmName(u16 sdn, char* buffer);
/// Host side of "frame-receive".
char* ScmGetFrameQueueToRuntimeName(u16 sdn, char* buffer);
/// Firmware side of "frame-receive" (also the name of the firmware's send semaphore).
char* ScmGetFrameQueueFromScmName(u16 sdn, char* buffer);
/// Host side of "frame-send".
char* ScmGetFrameQueueFromRuntimeName(u16 sdn, char* buffer);
/// Firmware side of "frame-send" (also the name of the firmware's receive semaphore).
char* ScmGetFrameQueueToScmName(u16 sdn, char* buffer);
/// Host side of "unlock-response".
char* ScmGetUnlockResponseQueueToRuntimeName(u16 sdn, char* buffer);
/// Firmware side of "unlock-response".
char* ScmGetUnlockResponseQueueFromScmName(u16 sdn, char* buffer);
/// Host side of "unlock-request".
char* ScmGetUnlockRequestQueueFromRuntimeName(u16 sdn, char* buffer);
/// Firmware side of "unlock-request".
char* ScmGetUnlockRequestQueueToScmName(u16 sdn, char* buffer);
