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
//   scmlockstep --description FILE | --nodes N [--limit CYCLES] [--guarding CYCLES]
//
// scmlockstep-legacy is the same program over the older release's firmware
// libraries: it runs the described domain as a domain of the older release
// (its file layout, up to 101 nodes, the key-medium identity in Qor variable 4).
//
// Exit status: 0 every node operational (the count printed) and, after the
// guarding cycles, still operational; 2 the limit reached first; 5 bad options
// or a description that is refused; 6 a node left operational while guarded.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "HNFcom.h"
#include "HNFcyc.h"
#include "HNFiff_ModuleState.h"
#include "HNFstp.h"
#include "LockStepRun.h"
#include "QorController.h"
#include "ScmProfile.h"
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
/// The application's files, by the name the firmware opens them with, and flash area 16.
std::map<std::string, std::vector<u8>> g_storage;
std::vector<u8> g_flash;
/// Open storage handles: the file and, for reading, the position; a write replaces the file at its close.
struct OpenFile {
  std::string name;         ///< file
  bool write = false;       ///< opened for writing
  size_t pos = 0;           ///< read position
  std::vector<u8> written;  ///< what a write handle collected
};
std::map<int, OpenFile> g_open;
int g_nextHandle = 1;
/// The Qor controller behind channel 6: it stores every write and answers every read.
ScmSim::QorController g_qor;
/// The release of the firmware this program links: the older one keeps the key-medium
/// identity in Qor variable 4, the current one in flash area 16.
constexpr bool kOlderRelease = SCM_kLegacy;
/// Time base and guard time of a uniform domain (--nodes), as scmdemo's: ticks of about
/// 10.4 us, a guard time of 60000 ticks.
constexpr i32 kUniformTimeBase = 1;
constexpr u64 kUniformGuardTimeUs = 625000;
/// Most nodes of a uniform domain.
constexpr u16 kMaxNodes = SimDomain::DomainLimits::MaxNodesOf(kOlderRelease ? SimDomain::Release::Older
                                                                            : SimDomain::Release::Current);

/// The storage calls: the files of a commissioned domain in memory.
_Vx_usr_arg_t ServeStorage(const _Vx_usr_arg_t w[8], int number) {
  if (number == SCM_SC_OPEN_STORAGE) {
    const std::string name = reinterpret_cast<const char*>(w[1]);
    const bool write = static_cast<char>(w[2]) == 'w';
    if (!write && g_storage.count(name) == 0) {
      errno = SCM_STORAGE_MISSING_ERRNO;
      return -1;
    }
    g_open[g_nextHandle] = OpenFile{name, write, 0, {}};
    *reinterpret_cast<u32*>(w[3]) = static_cast<u32>(g_nextHandle++);
    return 0;
  }
  const auto it = g_open.find(static_cast<int>(w[0]));
  if (it == g_open.end()) {
    errno = SCM_ERRNO_HOST_CALL;
    return -1;
  }
  OpenFile& f = it->second;
  const std::vector<u8>& data = g_storage[f.name];
  switch (number) {
    case SCM_SC_CLOSE_STORAGE:
      if (f.write) g_storage[f.name] = f.written;
      g_open.erase(it);
      return 0;
    case SCM_SC_GET_STORAGE_LENGTH:
      *reinterpret_cast<u32*>(w[1]) = static_cast<u32>(f.write ? f.written.size() : data.size());
      return 0;
    case SCM_SC_READ_STORAGE: {
      const size_t count = f.write ? 0 : std::min<size_t>(static_cast<size_t>(w[1]), data.size() - f.pos);
      std::memcpy(reinterpret_cast<void*>(w[2]), data.data() + f.pos, count);
      f.pos += count;
      *reinterpret_cast<u32*>(w[3]) = static_cast<u32>(count);
      return 0;
    }
    default: {  // SCM_SC_WRITE_STORAGE
      const auto* src = reinterpret_cast<const u8*>(w[2]);
      f.written.insert(f.written.end(), src, src + w[1]);
      *reinterpret_cast<u32*>(w[3]) = static_cast<u32>(w[1]);
      return 0;
    }
  }
}

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
    case SCM_SC_OPEN_STORAGE:
    case SCM_SC_CLOSE_STORAGE:
    case SCM_SC_GET_STORAGE_LENGTH:
    case SCM_SC_READ_STORAGE:
    case SCM_SC_WRITE_STORAGE:
      return ServeStorage(w, number);
    case SCM_SC_READ_QOR_FLASH_FILE: {
      const size_t count = std::min<size_t>(static_cast<size_t>(w[3]), g_flash.size());
      std::memcpy(reinterpret_cast<void*>(w[4]), g_flash.data(), count);
      *reinterpret_cast<u32*>(w[5]) = static_cast<u32>(count);
      return 0;
    }
    case SCM_SC_WRITE_QOR_FLASH_FILE: {
      const auto* src = reinterpret_cast<const u8*>(w[4]);
      g_flash.assign(src, src + w[3]);
      *reinterpret_cast<u32*>(w[5]) = static_cast<u32>(w[3]);
      return 0;
    }
    case SCM_SC_LOCK_RESET:
    case SCM_SC_UNLOCK_RESET:
      return 0;
    case SCM_SC_GET_QOR_FAIL_SAFE_STATE:  // the Qor controller runs normally
      *reinterpret_cast<u8*>(w[1]) = 0;
      return 0;
    case SCM_SC_OPEN_CHANNEL: {
      const int32_t handle = w[1] == ScmSim::QorController::kChannel
                                 ? g_qor.Open(static_cast<uint32_t>(w[2]), static_cast<uint32_t>(w[3]))
                                 : -1;
      if (handle < 0) {
        errno = SCM_ERRNO_HOST_CALL;
        return -1;
      }
      *reinterpret_cast<u32*>(w[4]) = static_cast<u32>(handle);
      return 0;
    }
    case SCM_SC_CLOSE_CHANNEL:
      if (!g_qor.Close(static_cast<int32_t>(w[0]))) {
        errno = SCM_ERRNO_HOST_CALL;
        return -1;
      }
      return 0;
    case SCM_SC_SEND_CHANNEL: {
      const auto* src = reinterpret_cast<const u8*>(w[2]);
      const int32_t sent = g_qor.Send(static_cast<int32_t>(w[0]), std::vector<u8>(src, src + w[1]));
      if (sent < 0) {
        errno = SCM_ERRNO_HOST_CALL;
        return -1;
      }
      *reinterpret_cast<u32*>(w[3]) = static_cast<u32>(sent);
      return 0;
    }
    case SCM_SC_RECEIVE_CHANNEL: {
      std::vector<u8> reply;
      const int32_t count = g_qor.Receive(static_cast<int32_t>(w[0]), static_cast<uint32_t>(w[1]), reply);
      if (count < 0) {
        errno = SCM_ERRNO_HOST_CALL;
        return -1;
      }
      std::memcpy(reinterpret_cast<void*>(w[2]), reply.data(), reply.size());
      *reinterpret_cast<u32*>(w[3]) = static_cast<u32>(count);
      return 0;
    }
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

/// The command line, for --help and with a refusal.
constexpr const char* kUsage =
    "usage: " SCM_LOCKSTEP_NAME " --description FILE | --nodes N [--limit CYCLES] [--guarding CYCLES]\n"
    "  runs the firmware in lock-step with the described nodes (or a uniform domain of N ideal\n"
    "  nodes at SADR 1..N) and prints \"cycles to operational: N\" once every node is operational.\n"
    "  exit status: 0 every node operational, 1 set-up failed, 2 the limit came first, 5 bad options\n"
    "  or a refused description.\n";

int Usage(const char* problem) {
  std::fprintf(stderr, SCM_LOCKSTEP_NAME ": %s\n%s", problem, kUsage);
  return kBadOptions;
}

}  // namespace

int main(int argc, char** argv) {
  std::string description;
  unsigned long nodes = 0;
  u64 limit = kDefaultLimit;
  u64 guarding = 0;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::printf("%s", kUsage);
      return kOk;
    }
    if ((arg == "--description" || arg == "-d") && i + 1 < argc) {
      description = argv[++i];
    } else if ((arg == "--nodes" || arg == "-n") && i + 1 < argc) {
      char* end = nullptr;
      nodes = std::strtoul(argv[++i], &end, 10);
      if (end == nullptr || *end != '\0' || nodes < 1 || nodes > kMaxNodes) {
        return Usage(("--nodes: 1 to " + std::to_string(kMaxNodes) + " nodes").c_str());
      }
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
  if (description.empty() == (nodes == 0)) return Usage("--description or --nodes is required, not both");
  SimDomain::LoadResult loaded;
  if (nodes != 0) {
    loaded.domain = SimDomain::UniformDomain(static_cast<u16>(nodes));
    loaded.domain->scm.timeBase = kUniformTimeBase;
    loaded.domain->guardTimeUs = kUniformGuardTimeUs;
  } else {
    loaded = SimDomain::LoadDomainFile(description);
  }
  if (!loaded.domain) return Usage(loaded.error.c_str());
  // The files are written for the release of the firmware linked here.
  loaded.domain->release = kOlderRelease ? SimDomain::Release::Older : SimDomain::Release::Current;
  if (const std::string invalid = SimDomain::ValidateDomain(*loaded.domain); !invalid.empty()) {
    return Usage(invalid.c_str());
  }
  const u16 sdn = loaded.domain->sdn;
  if (!PreparePlatform(sdn)) {
    std::fprintf(stderr, SCM_LOCKSTEP_NAME ": the in-memory platform could not be prepared\n");
    return kSetupFailed;
  }
  int status = kNotReached;
  {
    SimLockStep::LockStepSettings settings;
    settings.installFiles = [](const std::vector<std::pair<std::string, std::vector<u8>>>& files,
                               const std::vector<u8>& identity) {
      for (const auto& [name, bytes] : files) g_storage[name] = bytes;
      if (kOlderRelease) {
        g_qor.SetVariable(4, identity);
      } else {
        g_flash = identity;
      }
    };
    SimLockStep::LockStepRun run(std::move(*loaded.domain), [](u64 us) { g_counter = us; }, settings);
    const std::string problem = run.Start();
    if (!problem.empty()) return Usage(problem.c_str());
    for (u64 i = 0; i < limit; ++i) {
      run.Cycle();
      DrainHostQueues(sdn);
      if (const std::optional<u64> count = run.CyclesToOperational()) {
        std::printf("cycles to operational: %llu\n", static_cast<unsigned long long>(*count));
        status = kOk;
        break;
      }
    }
    if (status != kOk) std::fprintf(stderr, SCM_LOCKSTEP_NAME ": not every node operational within %llu cycles\n",
                                    static_cast<unsigned long long>(limit));
    for (u64 i = 0; status == kOk && i < guarding; ++i) {
      run.Cycle();
      DrainHostQueues(sdn);
    }
    for (const SimNodes::SimNode& node : run.Nodes()) {
      if (status == kOk && guarding > 0 && !run.IsOperational(node)) {
        std::fprintf(stderr, SCM_LOCKSTEP_NAME ": node %u left operational while guarded\n",
                     static_cast<unsigned>(node.Config().position));
        status = kNodeLost;
      }
    }
  }
  ScmMemReset();
  return status;
}
