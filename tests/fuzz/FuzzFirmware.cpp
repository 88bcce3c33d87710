#include "FuzzFirmware.h"

#include <cstdio>

#include "HNFevt.h"
#include "ScmQueueNames.h"
#include "rtp_mem_control.h"

namespace ScmFuzz {

namespace {

/// The demo description, read once.
const SimDomain::Domain& Demo() {
  static const SimDomain::Domain demo = [] {
    const SimDomain::LoadResult loaded = SimDomain::LoadDomainFile(SCM_GEN_DEMO_DESCRIPTION);
    Require(loaded.domain.has_value(), "demo description: " + loaded.error);
    return *loaded.domain;
  }();
  return demo;
}

std::string QueueName(const char* suffix) { return FwTest::ScmName(suffix); }

}  // namespace

Bytes Complemented(Bytes bytes) {
  for (u8& b : bytes) b = static_cast<u8>(~b);
  return bytes;
}

FirmwareUnderFuzz::FirmwareUnderFuzz(bool silentNodes) {
  platform_.SetUp();
  SimDomain::Domain description = Demo();
  if (silentNodes) {
    for (const SimDomain::NodeEntry& n : Demo().nodes) {
      Require(SimDomain::ApplyFaultOption(description, std::to_string(n.sadr) + ":silent").empty(), "silent fault");
    }
  }
  SimLockStep::LockStepSettings settings;
  settings.queueSdn = FwTest::kSdn;
  run_ = std::make_unique<SimLockStep::LockStepRun>(description, [this](u64 us) { platform_.host.counter = us; },
                                                    settings);
  const std::string error = run_->Start();
  Require(error.empty(), "start: " + error);
  CheckEvents("at start-up");
}

FirmwareUnderFuzz::~FirmwareUnderFuzz() {
  run_.reset();
  platform_.TearDown();
}

void FirmwareUnderFuzz::Cycle() {
  run_->Cycle();
  CheckEvents("in a cycle");
}

void FirmwareUnderFuzz::CheckEvents(const char* when) {
  for (const FwTest::Event& e : platform_.TakeEvents()) {
    if (e.level >= HNFevt_kLevelFatal) {
      char text[120];
      std::snprintf(text, sizeof(text), "fatal event %s: level %u, 0x%08X, %u, 0x%X", when, e.level, e.code, e.info0,
                    e.info1);
      Finding(text);
    }
  }
}

bool FirmwareUnderFuzz::PutRaw(const char* suffix, const Bytes& bytes) {
  static const u8 s_Empty = 0;
  const u8* data = bytes.empty() ? &s_Empty : bytes.data();
  return ScmMemQueuePut(QueueName(suffix).c_str(), data, bytes.size()) == OK;
}

bool FirmwareUnderFuzz::PutFrame(const Bytes& plain) { return PutRaw("frame-send", Complemented(plain)); }

std::vector<Bytes> FirmwareUnderFuzz::TakeRaw(const char* suffix) {
  const std::string name = QueueName(suffix);
  std::vector<Bytes> out = ScmMemQueueContents(name.c_str());
  ScmMemQueueClear(name.c_str());
  return out;
}

}  // namespace ScmFuzz
