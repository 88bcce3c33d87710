#include "LockStepRun.h"

#include <algorithm>
#include <utility>

#include "EPSinit.h"
#include "FrameBuilder.h"
#include "HNFcyc.h"
#include "HNFstp.h"
#include "MFWQZ.h"
#include "SCM.h"
#include "ScmFirmwareIdent.h"
#include "ScmGen.h"
#include "ScmGenDescription.h"
#include "ScmQueueNames.h"
#include "rtp_mem_control.h"

namespace SimLockStep {

namespace {

/// Node status of an operational node, as the configuration manager reports it.
constexpr u8 kStatusOperational = 0x81;

/// The bytes complemented, as they stand on a firmware-side queue.
SimNodes::Bytes Complement(SimNodes::Bytes bytes) {
  for (u8& b : bytes) {
    b = static_cast<u8>(~b);
  }
  return bytes;
}

}  // namespace

LockStepRun::LockStepRun(SimDomain::Domain description, std::function<void(u64)> setCounter,
                         LockStepSettings settings)
    : description_(std::move(description)), setCounter_(std::move(setCounter)), settings_(settings) {
  if (settings_.queueSdn == 0) {
    settings_.queueSdn = description_.sdn;
  }
}

LockStepRun::~LockStepRun() {
  ScmMemSetDelayHook({});
  if (started_) {
    // Nothing may keep pointing into this run's file copies.
    const HNFstp_File none[HNFstp_kFileCount] = {};
    const HNFstp_Identity identity = {LdFwIdentStart, scmUdid_.data()};
    EPS_Init(none, &identity);
  }
}

std::string LockStepRun::Start() {
  const ScmGen::Result generated = ScmGen::Generate(ScmGen::FromDescription(description_));
  if (!generated.error.empty()) {
    return generated.error;
  }
  kel_ = generated.files.kelParaSaf;
  corvane_ = settings_.corvaneDat.value_or(generated.files.corvaneDat);
  parData_ = generated.files.parData1.value_or(SimNodes::Bytes{});
  // The firmware's file list: "kel_para.saf", "corvane.dat" and, where the release has it, "pardata1.bin".
  const SimNodes::Bytes* copies[] = {&kel_, &corvane_, &parData_};
  static_assert(HNFstp_kFileCount <= sizeof copies / sizeof copies[0]);
  HNFstp_File slots[HNFstp_kFileCount] = {};
  for (u32 j = 0; j < HNFstp_kFileCount; ++j) {
    slots[j].pucData = copies[j]->empty() ? nullptr : copies[j]->data();
    slots[j].ulSize = static_cast<u32>(copies[j]->size());
  }
  // The queues are those of their domain; the nodes take the SDN the SCM gives them.
  HNFstp_usSdn = settings_.queueSdn;
  // As the firmware starts: the Qor UDID the host gave, the target id, the
  // stack over the loaded files, then the application's two steps.
  std::copy(description_.qorUdid.begin(), description_.qorUdid.end(), HNFstp_aucQorUdid);
  HNFstp_ComputeScmUdid(HNFstp_aucQorUdid, scmUdid_.data());
  counter_ = settings_.startUs;
  setCounter_(counter_);
  (void)MFWQZ_GetTargetId();
  if (settings_.installFiles) {
    // A commissioned domain: its files accept the running Qor UDID and target id.
    std::array<std::uint8_t, 8> targetId{};
    std::copy(MFWQZ_aActTargetId, MFWQZ_aActTargetId + targetId.size(), targetId.begin());
    const ScmGen::InstalledState installed =
        ScmGen::Install(ScmGen::FromDescription(description_), description_.qorUdid, targetId);
    settings_.installFiles({{"FWREVCNF.BIN", installed.fwRevCnf},
                            {"AUTOCNF.BIN", installed.autoCnf},
                            {"CORVANE.UID", installed.corvaneUid}},
                           installed.flash);
  }
  const HNFstp_Identity identity = {LdFwIdentStart, scmUdid_.data()};
  EPS_Init(slots, &identity);
  started_ = true;
  HNFstp_MfwInit();
  // While the background task sleeps in a wait (the quit's 1/10-s tests), the
  // cyclic task goes on: as many cycles as the wait lasts, at least one.
  ScmMemSetDelayHook([this](int ticks) {
    const int rate = sysClkRateGet() > 0 ? sysClkRateGet() : 1;
    const u64 waitUs = static_cast<u64>(ticks > 0 ? ticks : 0) * 1000000u / static_cast<u64>(rate);
    const u64 cycles = waitUs / settings_.cycleUs;
    for (u64 i = 0; i < (cycles > 0 ? cycles : 1); ++i) {
      CyclicPass();
    }
  });
  if (*SCM_GetPtrTo_w_SnRealNum() != description_.nodes.size()) {
    return "the object list holds " + std::to_string(*SCM_GetPtrTo_w_SnRealNum()) + " nodes, the description " +
           std::to_string(description_.nodes.size());
  }
  HNFcyc_InitStepDone(HNFcyc_kStepLoaded);
  // The nodes guard their life time with the described guard time, as the firmware does in CT ticks.
  nodes_.clear();
  for (const SimDomain::NodeEntry& n : description_.nodes) {
    SimNodes::NodeConfig device = n.device;
    device.guardTimeUs = description_.guardTimeUs;
    nodes_.emplace_back(device);
  }
  guardCycles_ = description_.guardTimeUs / settings_.cycleUs + 1;
  return "";
}

void LockStepRun::Cycle() {
  CyclicPass();
  HNFcyc_BgTask();
}

void LockStepRun::CyclicPass() {
  for (const SimNodes::Bytes& frame : pending_) {
    answersLost_ += Put("frame-send", frame) ? 0 : 1;
  }
  pending_.clear();
  counter_ += settings_.cycleUs;
  setCounter_(counter_);
  IRQ();
  const SimNodes::Moment now{cycle_, counter_};
  for (const SimNodes::Bytes& frame : Take("frame-receive")) {
    ++framesSent_;
    const TestFrames::ParsedFrame parsed = TestFrames::ParseFrame(frame);
    SimNodes::SimNode* node = NodeAt(parsed.adr);
    if (node == nullptr) {
      ++undeliverable_;
      continue;
    }
    if (std::optional<SimNodes::Bytes> answer = node->Receive(frame, now)) {
      pending_.push_back(*answer);
    }
  }
  for (SimNodes::SimNode& node : nodes_) {
    if (std::optional<SimNodes::Bytes> own = node.Tick(now)) {
      pending_.push_back(*own);
    }
  }
  ++cycle_;
}

bool LockStepRun::IsOperational(const SimNodes::SimNode& node) const {
  const u16 sadr = node.Config().position;
  return node.Record().state == SimNodes::NodeState::Operational &&
         MFWQZ_ModuleInfo[sadr].ulNodeState == kStatusOperational;
}

u64 LockStepRun::RunUntilOperational(u16 outsider, u64 limit) {
  for (u64 i = 0; i < limit; ++i) {
    Cycle();
    bool all = true;
    for (const SimNodes::SimNode& node : nodes_) {
      all = all && (node.Config().position == outsider || IsOperational(node));
    }
    if (all) {
      return i + 1;
    }
  }
  return limit;
}

std::optional<u64> LockStepRun::CyclesToOperational(const SimNodes::SimNode& node) const {
  const std::optional<SimNodes::Moment>& at = node.Record().operationalAt;
  if (!at || node.Record().state != SimNodes::NodeState::Operational) {
    return std::nullopt;
  }
  // Answered in the cycle counted from 0, after that cycle's frames: the next cycle carries it.
  return at->cycle + 2;
}

std::optional<u64> LockStepRun::CyclesToOperational() const {
  u64 last = 0;
  for (const SimNodes::SimNode& node : nodes_) {
    const std::optional<u64> c = CyclesToOperational(node);
    if (!c) {
      return std::nullopt;
    }
    last = *c > last ? *c : last;
  }
  return nodes_.empty() ? std::nullopt : std::optional<u64>(last);
}

SimNodes::SimNode* LockStepRun::NodeAt(u16 position) {
  for (SimNodes::SimNode& node : nodes_) {
    if (node.Config().position == position) {
      return &node;
    }
  }
  return nullptr;
}

bool LockStepRun::Put(const char* suffix, const SimNodes::Bytes& plain) const {
  char name[SCM_QUEUE_NAME_SIZE];
  const SimNodes::Bytes bytes = Complement(plain);
  return ScmMemQueuePut(GetQualifiedScmQueueName(settings_.queueSdn, suffix, name), bytes.data(), bytes.size()) == OK;
}

std::vector<SimNodes::Bytes> LockStepRun::Take(const char* suffix) const {
  char name[SCM_QUEUE_NAME_SIZE];
  const char* qualified = GetQualifiedScmQueueName(settings_.queueSdn, suffix, name);
  std::vector<SimNodes::Bytes> out;
  for (const std::vector<uint8_t>& raw : ScmMemQueueContents(qualified)) {
    out.push_back(Complement(raw));
  }
  ScmMemQueueClear(qualified);
  return out;
}

}  // namespace SimLockStep
