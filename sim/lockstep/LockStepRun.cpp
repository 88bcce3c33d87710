#include "LockStepRun.h"

#include <utility>

#include "EPSinit.h"
#include "FrameBuilder.h"
#include "HNFcyc.h"
#include "HNFstp.h"
#include "MFWQZ_Placeholder.h"
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
  const SimNodes::Bytes* copies[HNFstp_kFileCount] = {&kel_, &corvane_, &parData_};
  HNFstp_File slots[HNFstp_kFileCount] = {};
  for (u32 j = 0; j < HNFstp_kFileCount; ++j) {
    slots[j].pucData = copies[j]->empty() ? nullptr : copies[j]->data();
    slots[j].ulSize = static_cast<u32>(copies[j]->size());
  }
  // The queues are those of their domain; the nodes take the SDN the SCM gives them.
  HNFstp_usSdn = settings_.queueSdn;
  HNFstp_ComputeScmUdid(description_.qorUdid.data(), scmUdid_.data());
  counter_ = settings_.startUs;
  setCounter_(counter_);
  const HNFstp_Identity identity = {LdFwIdentStart, scmUdid_.data()};
  EPS_Init(slots, &identity);
  started_ = true;
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
         MFWQZ_gaPlaceholderNodeStatus[sadr].ucNewStatus == kStatusOperational;
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
