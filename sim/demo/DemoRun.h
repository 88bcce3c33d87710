// One run of the simulated domain: a fresh run directory with the storage
// files, the host simulator in this process, the simulated nodes on their
// network, scmchecker and scmfirmware started through its supervisor, the
// live view, and the summary. The goal is every node operational; with a
// duration they must stay so that long. Every end
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

/// Pause between two looks at the domain.
inline constexpr int kPollMilliseconds = 20;

/// Runs the planned domain as the options say and returns the exit status; the summary is
/// filled. stop is set by a signal handler to end the run early.
int RunDomain(const DemoOptions& options, const DomainPlan& plan, const std::atomic<bool>& stop, View& view,
              Summary& summary);

}  // namespace ScmDemo
