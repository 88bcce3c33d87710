// One run of the simulated domain: a fresh run directory with the storage
// files, the host simulator in this process, scmchecker and scmfirmware
// started through its supervisor, the live view, and the summary. Every end
// (goal, time limit, fail-safe, a program that exited, a stop request) stops
// both programs and removes the domain's queues, semaphores and socket.
#pragma once

#include <atomic>
#include <cstdio>

#include "DemoDomain.h"
#include "DemoOptions.h"
#include "DemoSummary.h"
#include "DemoView.h"

namespace ScmDemo {

/// Checker cycles after the handshake that show both programs cycling in lock-step.
inline constexpr uint64_t kGoalCycles = 10;
/// Pause between two looks at the domain.
inline constexpr int kPollMilliseconds = 20;

/// Runs the planned domain as the options say and returns the exit status; the summary is
/// filled. stop is set by a signal handler to end the run early.
int RunDomain(const DemoOptions& options, const DomainPlan& plan, const std::atomic<bool>& stop, View& view,
              Summary& summary);

}  // namespace ScmDemo
