// Linked into each of the system's programs (scm_rtp_program): makes the
// initial thread a task holding the run lock before main runs, as on the
// target, where main runs in the process's initial task.
#include "rtp_internal.h"

namespace {

__attribute__((constructor(101))) void ScmSimStartProgram() { scmsim::StartInitialTask(); }

}  // namespace
