// Run lock of the stand-in platform, for code inside sim/ that blocks on behalf
// of a task (the host-call seam's condition wait).
//
// The tasks of one process never run in parallel: a task holds its process's
// run lock while it runs and gives it up only inside blocking calls. A blocking
// call made outside the task calls (a host call that waits) must bracket its
// wait with these two functions so that the process's other tasks run meanwhile.
// Both are no-ops for threads that are not tasks (test threads, host-simulator
// threads) and in the in-memory variant.
#pragma once

#ifdef __cplusplus
extern "C" {
#endif

/// Releases the caller's run lock if the caller is a task; no-op otherwise.
void ScmSimBlockingBegin(void);
/// Re-acquires the run lock released by ScmSimBlockingBegin (waits for its turn).
void ScmSimBlockingEnd(void);

#ifdef __cplusplus
}
#endif
