// Movable real-time clock of the stand-in (scm_rtp).
//
// scm_rtp defines clock_gettime: for CLOCK_REALTIME it returns the system's
// real time plus an offset kept in one shared-memory object of the current
// namespace (SCM_SIM_NAMESPACE), so a test or the host simulator can move the
// real time of every process of the namespace while the programs call
// clock_gettime as on the target. Every other clock, and CLOCK_REALTIME while
// no offset object exists, is the system's own. Only clock_gettime is moved
// (not time() or gettimeofday()); the offset applies from the next call.
#pragma once

#include <cstdint>

#ifdef __cplusplus
extern "C" {
#endif

/// Sets the real-time offset of the namespace in nanoseconds (creates the object); 0 or -1.
int ScmSimClockSetRealtimeOffset(int64_t offsetNs);

/// Adds deltaNs to the namespace's real-time offset (creates the object); 0 or -1.
int ScmSimClockAdvanceRealtime(int64_t deltaNs);

/// Current offset of the namespace in nanoseconds, 0 while none is set.
int64_t ScmSimClockGetRealtimeOffset(void);

/// Removes the namespace's offset object (real time is the system's again); 0 or -1.
int ScmSimClockRemove(void);

#ifdef __cplusplus
}
#endif
