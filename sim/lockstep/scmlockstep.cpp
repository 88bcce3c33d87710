// scmlockstep: the lock-step count of a domain. It starts the firmware
// in-process over the in-memory platform as the firmware starts (its object
// list, the domain's generated files through EPS_Init), cycles it against the
// simulated nodes of the description with the host counter advanced per cycle,
// and prints the cycle that carried the last node's operational answer to the
// firmware: the reference of the benchmark's measured run of the same domain.
// With --guarding it then runs that many cycles more, every node guarded, so
// that a profiler sees the firmware's guarding cycle (the benchmark runs it
// under callgrind, collecting in IRQ only).
//
//   scmlockstep --description FILE [--limit CYCLES] [--guarding CYCLES]
//
// Exit status: 0 every node operational (the count printed) and, after the
// guarding cycles, still operational; 2 the limit reached first; 5 bad options
// or a description that is refused; 6 a node left operational while guarded.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>

#include "HNFcom.h"
#include "HNFcyc.h"
#include "HNFiff_ModuleState.h"
#include "HNFstp.h"
#include "LockStepRun.h"
#include "ScmQueueNames.h"
#include "ScmSystemCalls.h"
#include "rtp_mem_control.h"

namespace {

/// Exit statuses.
constexpr int kOk = 0;            ///< every node operational
constexpr int kSetupFailed = 1;   ///< the platform could not be prepared
constexpr int kNotReached = 2;    ///< the limit came first
constexpr int kBadOptions = 5;    ///< bad options or a refused description
constexpr int kNodeLost = 6;      ///< a node left operational during the guarding cycles
/// Cycles a run may take by default (about 30 s of host time).
constexpr u64 kDefaultLimit = 3000;
/// Capacity of each firmware-side queue: a cycle's frames and the events of a cycle fit.
constexpr int kQueueCapacity = 64;

/// CPU product code and serial number the host serves (the running target id).
constexpr u32 kCpuProductCode = 0x00C0FFEE;
constexpr u32 kCpuSerialNumber = 0x00000001;
/// Host microsecond counter the firmware reads.
u64 g_counter = 0;
/// Host conditions set.
std::map<u32, u32> g_conditions;

/// The host calls the firmware makes in lock-step: the counter, the target id and the conditions.
_Vx_usr_arg_t Serve(const _Vx_usr_arg_t w[8], int number) {
  switch (number) {
    case SCM_SC_GET_USEC_COUNTER:
      *reinterpret_cast<u32*>(w[0]) = static_cast<u32>(g_counter);
      *reinterpret_cast<u32*>(w[1]) = static_cast<u32>(g_counter >> 32);
      return 0;
    case SCM_SC_GET_CPU_PRODUCT_CODE:
      *reinterpret_cast<u32*>(w[0]) = kCpuProductCode;
      return 0;
    case SCM_SC_GET_CPU_SERIAL_NUMBER:
      *reinterpret_cast<u32*>(w[0]) = kCpuSerialNumber;
      return 0;
    case SCM_SC_SET_CONDITION:
      g_conditions[static_cast<u32>(w[1])] = static_cast<u32>(w[2]);
      return 0;
    case SCM_SC_WAIT_FOR_CONDITION: {
      const auto it = g_conditions.find(static_cast<u32>(w[1]));
      if (it == g_conditions.end()) {
        errno = SCM_ERRNO_HOST_CALL;
        return -1;
      }
      *reinterpret_cast<u32*>(w[2]) = it->second;
      return 0;
    }
    default:
      errno = SCM_ERRNO_HOST_CALL;
      return -1;
  }
}

/// The domain's firmware-side queues and the firmware's state before its channels open.
bool PreparePlatform(u16 sdn) {
  ScmMemReset();
  ScmMemSetSyscallHook(Serve);
  static const struct {
    const char* suffix;  ///< queue name suffix
    int length;          ///< longest message
  } kQueues[] = {{"unlock-request", 21}, {"unlock-response", 8}, {"frame-send", 521}, {"frame-receive", 521},
                 {"command", 42},        {"status", 280},        {"event", 11}};
  for (const auto& q : kQueues) {
    char name[SCM_QUEUE_NAME_SIZE];
    if (ScmMemCreateQueue(GetQualifiedScmQueueName(sdn, q.suffix, name), kQueueCapacity, q.length) != OK) {
      return false;
    }
  }
  glFailSafeA = HNFiff_kModuleStateNormal;
  glFailSafeB = HNFiff_kModuleStateNormal;
  HNFstp_usSdn = sdn;
  HNFcyc_ulStartUpProgress = 1;
  return HNFcom_Init() == 0;
}

/// Drops what the firmware put on the host-side queues nobody reads here.
void DrainHostQueues(u16 sdn) {
  for (const char* suffix : {"event", "status", "unlock-request"}) {
    char name[SCM_QUEUE_NAME_SIZE];
    ScmMemQueueClear(GetQualifiedScmQueueName(sdn, suffix, name));
  }
}

int Usage(const char* problem) {
  std::fprintf(stderr,
               "scmlockstep: %s\nusage: scmlockstep --description FILE [--limit CYCLES] [--guarding CYCLES]\n",
               problem);
  return kBadOptions;
}

}  // namespace

int main(int argc, char** argv) {
  std::string description;
  u64 limit = kDefaultLimit;
  u64 guarding = 0;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if ((arg == "--description" || arg == "-d") && i + 1 < argc) {
      description = argv[++i];
    } else if (arg == "--limit" && i + 1 < argc) {
      char* end = nullptr;
      limit = std::strtoull(argv[++i], &end, 10);
      if (end == nullptr || *end != '\0' || limit == 0) return Usage("--limit: a positive number of cycles");
    } else if (arg == "--guarding" && i + 1 < argc) {
      const char* text = argv[++i];
      char* end = nullptr;
      errno = 0;
      guarding = std::strtoull(text, &end, 10);
      if (*text == '\0' || *text == '-' || end == nullptr || *end != '\0' || errno != 0) {
        return Usage("--guarding: a number of cycles");
      }
    } else {
      return Usage(("unknown option " + arg).c_str());
    }
  }
  if (description.empty()) return Usage("--description is required");
  SimDomain::LoadResult loaded = SimDomain::LoadDomainFile(description);
  if (!loaded.domain) return Usage(loaded.error.c_str());
  const u16 sdn = loaded.domain->sdn;
  if (!PreparePlatform(sdn)) {
    std::fprintf(stderr, "scmlockstep: the in-memory platform could not be prepared\n");
    return kSetupFailed;
  }
  int status = kNotReached;
  {
    SimLockStep::LockStepRun run(std::move(*loaded.domain), [](u64 us) { g_counter = us; });
    const std::string problem = run.Start();
    if (!problem.empty()) return Usage(problem.c_str());
    for (u64 i = 0; i < limit; ++i) {
      run.Cycle();
      DrainHostQueues(sdn);
      if (const std::optional<u64> count = run.CyclesToOperational()) {
        std::printf("%llu\n", static_cast<unsigned long long>(*count));
        status = kOk;
        break;
      }
    }
    if (status != kOk) std::fprintf(stderr, "scmlockstep: not every node operational within %llu cycles\n",
                                    static_cast<unsigned long long>(limit));
    for (u64 i = 0; status == kOk && i < guarding; ++i) {
      run.Cycle();
      DrainHostQueues(sdn);
    }
    for (const SimNodes::SimNode& node : run.Nodes()) {
      if (status == kOk && guarding > 0 && !run.IsOperational(node)) {
        std::fprintf(stderr, "scmlockstep: node %u left operational while guarded\n",
                     static_cast<unsigned>(node.Config().position));
        status = kNodeLost;
      }
    }
  }
  ScmMemReset();
  return status;
}
