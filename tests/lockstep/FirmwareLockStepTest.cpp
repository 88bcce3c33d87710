// Lock-step runs of the firmware as it starts: the generated files of the demo
// description loaded through EPS_Init into the firmware's object list, the
// configuration manager activated over that node list, then the firmware's
// cycle (IRQ, frame pump over the in-memory frame queues) run with the host's
// microsecond counter advanced per cycle, against the simulated nodes built
// from the same description. Checked through the node records, the frames and
// the events only. The run itself is the lock-step library's (sim/lockstep).
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "EPSudid.h"
#include "FwUnitSupport.h"
#include "HNFiff_ModuleState.h"
#include "LockStepRun.h"
#include "MFWQZ.h"
#include "SCM.h"
#include "SOD.h"
#include "SimNode.h"

namespace {

using FwTest::Event;
using SimNodes::Bytes;
using SimNodes::NodeRecord;
using SimNodes::NodeState;
using SimNodes::Service;

/// Cycles within which the nodes must reach operational (about 30 s of host time).
constexpr u64 kLimit = 3000;
/// Cycles within which start-up ends (its scans and the registration: a few minutes of host time).
constexpr u64 kStartUpLimit = 60000;
/// Node status of an operational node, as the configuration manager reports it.
constexpr u8 kStatusOperational = 0x81;

/// The description's entry of a SADR (the test fails when the description has none).
SimDomain::NodeEntry& EntryOf(SimDomain::Domain& d, u16 sadr) {
  for (SimDomain::NodeEntry& n : d.nodes) {
    if (n.sadr == sadr) {
      return n;
    }
  }
  ADD_FAILURE() << "the description has no node " << sadr;
  return d.nodes.front();
}

/// Requests of a service that a node received.
u32 Got(const NodeRecord& r, Service s) { return r.services[static_cast<std::size_t>(s)].received; }

/// Writes a u16 object as the application does; false when refused.
bool WriteU16(u16 index, u8 sub, u16 value) {
  SOD_Access acc{};
  acc.obj.usIndex = index;
  acc.obj.ucSubIndex = sub;
  SOD_ErrorInfo err{};
  const u8 data[2] = {static_cast<u8>(value), static_cast<u8>(value >> 8)};
  return SOD_AttrGetVirt(&acc, &err) != nullptr && SOD_WriteVirt(&acc, data, true);
}

/// The bytes behind an object of the firmware's object dictionary (actual length).
Bytes ReadObject(u16 index, u8 sub) {
  SOD_Access acc{};
  acc.obj.usIndex = index;
  acc.obj.ucSubIndex = sub;
  SOD_ErrorInfo err{};
  if (SOD_AttrGetVirt(&acc, &err) == nullptr) {
    return {};
  }
  u32 len = 0;
  const auto* p = static_cast<const u8*>(SOD_ReadVirt(&acc, &err));
  if (p == nullptr || !SOD_ActualLenGetVirt(&acc, &len)) {
    return {};
  }
  return Bytes(p, p + len);
}

/// One scenario on the demo description.
struct LockStepCase {
  const char* name;                                      ///< case name
  std::vector<std::string> faults;                       ///< node faults, SADR:fault
  std::function<void(SimDomain::Domain&)> arrange = {};  ///< further changes of the devices
  std::function<void()> afterStart = {};                 ///< writes into the started object dictionary
  u16 outsider = 0;                                      ///< SADR of a node that does not end operational
  std::function<void(const std::map<u16, NodeRecord>&)> check = {};  ///< what else the records show
  std::vector<Event> events = {};  ///< the application's events of the whole run, start-up included
  int erroneous = -1;              ///< erroneous modules at the end (-1: 1 with an outsider, else 0)
};
void PrintTo(const LockStepCase& c, std::ostream* os) { *os << c.name; }

class FirmwareLockStep : public FwTest::FwFixture, public ::testing::WithParamInterface<LockStepCase> {
 protected:
  void SetUp() override {
    FwFixture::SetUp();
    const SimDomain::LoadResult loaded = SimDomain::LoadDomainFile(SCM_GEN_DEMO_DESCRIPTION);
    ASSERT_TRUE(loaded.domain.has_value()) << loaded.error;
    description_ = *loaded.domain;
  }
  void TearDown() override {
    // Nothing may keep pointing into this test's file copies.
    run_.reset();
    FwFixture::TearDown();
  }

  /// Generates the files, starts the stack through EPS_Init and builds the nodes; corvaneDat, when
  /// given, is loaded in place of the generated "corvane.dat" (a file the firmware wrote).
  void Start(std::optional<Bytes> corvaneDat = std::nullopt) {
    // The fixture's queues are those of its domain; the nodes take the SDN the SCM gives them.
    SimLockStep::LockStepSettings settings;
    settings.queueSdn = FwTest::kSdn;
    settings.corvaneDat = std::move(corvaneDat);
    settings.installFiles = [this](const std::vector<std::pair<std::string, std::vector<u8>>>& files,
                                   const std::vector<u8>& flash) {
      for (const auto& [name, bytes] : files) host.files[name] = bytes;
      host.flash = flash;
    };
    run_ = std::make_unique<SimLockStep::LockStepRun>(description_, [this](u64 us) { host.counter = us; }, settings);
    ASSERT_EQ(run_->Start(), "");
    // The real object list carries the node list: activation raises nothing (no 0xF10C, no 0xF107).
    ASSERT_EQ(TakeEvents(), std::vector<Event>{});
    ASSERT_EQ(*SCM_GetPtrTo_w_SnRealNum(), description_.nodes.size());
  }

  /// One firmware cycle: the answers of the last cycle in, the firmware's frames out to the nodes.
  void Cycle() { run_->Cycle(); }
  /// The node the network finds at this SADR, or null.
  SimNodes::SimNode* NodeAt(u16 sadr) { return run_->NodeAt(sadr); }
  /// Cycles until every node but the outsider is operational, at most limit cycles; the cycles run.
  u64 RunUntilOperational(u16 outsider, u64 limit) { return run_->RunUntilOperational(outsider, limit); }
  /// Cycles until start-up and its end-of-start-up registration are over, at most limit; the cycles run.
  u64 RunUntilStartUpEnds(u64 limit) {
    for (u64 i = 0; i < limit; ++i) {
      if (MFWQZ_gbStartUp == 0 && MFWQZ_gbEndOfStartUp == 0 && MFWQZ_gusStartUpModule > 1023) {
        return i;
      }
      Cycle();
    }
    return limit;
  }

  SimDomain::Domain description_;                ///< the demo description, changed by the scenario
  std::unique_ptr<SimLockStep::LockStepRun> run_;  ///< the run over the started firmware
};

TEST_P(FirmwareLockStep, EveryNodeReachesOperational) {
  const LockStepCase& c = GetParam();
  for (const std::string& f : c.faults) {
    ASSERT_EQ(SimDomain::ApplyFaultOption(description_, f), "") << f;
  }
  if (c.arrange) {
    c.arrange(description_);
  }
  Start();
  if (HasFatalFailure()) {
    return;
  }
  if (c.afterStart) {
    c.afterStart();
  }
  EXPECT_LT(RunUntilOperational(c.outsider, kLimit), kLimit) << "not every node became operational";
  // Start-up ends (its scans, then the registration of what they found).
  EXPECT_LT(RunUntilStartUpEnds(kStartUpLimit), kStartUpLimit) << "start-up did not end";
  // Through one and a half guard times: every node is guarded and stays operational.
  const u64 guardCycles = run_->GuardCycles();
  for (u64 i = 0; i < guardCycles + guardCycles / 2; ++i) {
    Cycle();
  }
  std::map<u16, NodeRecord> records;
  for (const SimNodes::SimNode& node : run_->Nodes()) {
    const u16 sadr = node.Config().position;
    records[sadr] = node.Record();
    if (sadr == c.outsider) {
      EXPECT_NE(node.Record().state, NodeState::Operational) << "node " << sadr;
      continue;
    }
    EXPECT_EQ(node.Record().state, NodeState::Operational) << "node " << sadr;
    EXPECT_EQ(node.Record().operationalCount, 1u) << "node " << sadr;
    EXPECT_GE(node.Record().guardAnswers, 1u) << "node " << sadr;
    EXPECT_EQ(node.Record().lifeTimeLosses, 0u) << "node " << sadr;
    // The application saw the operational status of the node.
    EXPECT_EQ(MFWQZ_ModuleInfo[sadr].ulNodeState, kStatusOperational) << "node " << sadr;
  }
  // The application's counts agree with the nodes: only the outsider is in error.
  EXPECT_EQ(MFWQZ_ulNumberOfErroneousModules,
            c.erroneous >= 0 ? static_cast<u32>(c.erroneous) : (c.outsider != 0 ? 1u : 0u));
  EXPECT_EQ(MFWQZ_ulNumberOfUdidMisMatches, 0u);
  EXPECT_EQ(MFWQZ_ulNumberOfDiffFirmware, 0u);
  u32 processed = 0;
  for (const SimDomain::NodeEntry& n : description_.nodes) {
    processed += n.notProcessed ? 0 : 1;
  }
  EXPECT_EQ(MFWQZ_gulModuleCount, processed);
  EXPECT_EQ(run_->Undeliverable(), 0u);
  EXPECT_GT(run_->FramesSent(), 0u);
  EXPECT_EQ(run_->AnswersLost(), 0u);
  // The count of the last node, as the benchmark's reference takes it, came within the run.
  ASSERT_TRUE(c.outsider != 0 || run_->CyclesToOperational().has_value());
  // Only the events the case names reached the event store, stack errors included; the firmware stays normal.
  EXPECT_EQ(TakeEvents(), c.events);
  EXPECT_EQ(HNFiff_ModuleStateIsNormal(), 1);
  if (c.check) {
    c.check(records);
  }
}

INSTANTIATE_TEST_SUITE_P(
    DemoDescription, FirmwareLockStep,
    ::testing::Values(
        LockStepCase{"AsDescribed", {}, {}, {}, 0,
                     [](const std::map<u16, NodeRecord>& r) {
                       for (const auto& [sadr, rec] : r) {
                         EXPECT_EQ(rec.downloadsComplete, 0u) << "node " << sadr;
                         EXPECT_EQ(Got(rec, Service::AssignSadr), 1u) << "node " << sadr;
                       }
                       // SADR 7's node-list flags ask for the extended CT.
                       EXPECT_EQ(Got(r.at(7), Service::ExtCt), 1u);
                       EXPECT_EQ(Got(r.at(6), Service::ExtCt), 0u);
                     }},
        // The download road with the node list's parameter set, then the additional SADRs.
        // The demo description gives no TxSPDO numbers (0xC800+n/2 stays 0), which the SNMT
        // master refuses (fatal 0xF505): the test gives them before the road starts.
        LockStepCase{"DownloadRoad", {"2:wrong-checksum"}, {},
                     [] {
                       ASSERT_TRUE(WriteU16(0xC800 + 200, 2, 2));
                       ASSERT_TRUE(WriteU16(0xC800 + 201, 2, 3));
                     },
                     0,
                     [](const std::map<u16, NodeRecord>& r) {
                       EXPECT_EQ(r.at(2).downloadsMatching, 1u);
                       EXPECT_EQ(Got(r.at(2), Service::AddSadr), 2u);
                       EXPECT_EQ(r.at(3).downloadsComplete, 0u);
                     }},
        LockStepCase{"DownloadRoadWithPreloadWindow", {"11:wrong-checksum"},
                     [](SimDomain::Domain& d) { EntryOf(d, 11).device.preloadWindow = 4; }, {}, 0,
                     [](const std::map<u16, NodeRecord>& r) { EXPECT_EQ(r.at(11).downloadsMatching, 1u); }},
        // Node-list flag bit 31: the parameter timestamp is compared in place of the checksum.
        LockStepCase{"TimestampCompare", {}, [](SimDomain::Domain& d) { EntryOf(d, 5).flags |= 0x80000000u; }, {}, 0,
                     [](const std::map<u16, NodeRecord>& r) { EXPECT_EQ(r.at(5).downloadsComplete, 0u); }},
        LockStepCase{"TimestampCompareWithAnotherTimestamp", {"5:wrong-timestamp"},
                     [](SimDomain::Domain& d) { EntryOf(d, 5).flags |= 0x80000000u; }, {}, 0,
                     [](const std::map<u16, NodeRecord>& r) {
                       EXPECT_EQ(r.at(5).downloadsMatching, 1u);
                       EXPECT_EQ(r.at(5).snFailsSent, 0u);
                     }},
        // A timestamp answer of 2 bytes is a length difference: reported (SCM error 0x1117
        // as information with FSM index 4 << 16 | length 2), then the download road.
        LockStepCase{"TimestampCompareWithAShortAnswer", {"5:short-timestamp"},
                     [](SimDomain::Domain& d) { EntryOf(d, 5).flags |= 0x80000000u; }, {}, 0,
                     [](const std::map<u16, NodeRecord>& r) {
                       EXPECT_EQ(r.at(5).downloadsMatching, 1u);
                       EXPECT_EQ(r.at(5).faultsApplied.at("short-timestamp"), 1u);
                     },
                     {Event{1, 0x6200A117u, 0, (4u << 16) | 2u}}},
        // Registered missing once, after start-up.
        LockStepCase{"SilentNode", {"6:silent"}, {}, {}, 6,
                     [](const std::map<u16, NodeRecord>& r) {
                       const NodeRecord& s = r.at(6);
                       EXPECT_EQ(s.framesReceived, Got(s, Service::AssignSadr) + Got(s, Service::UdidRequest));
                     },
                     {{2, 0x6200C089, 0, 6}}},
        // An optional module may be missing: no event, not counted.
        LockStepCase{"SilentOptionalNode", {"6:silent"}, [](SimDomain::Domain& d) { EntryOf(d, 6).optional = true; },
                     {}, 6, {}, {}, 0},
        // Registered invalid once.
        LockStepCase{"WrongVendor", {"4:wrong-vendor"}, {}, {}, 4,
                     [](const std::map<u16, NodeRecord>& r) { EXPECT_EQ(Got(r.at(4), Service::SetOp), 0u); },
                     {{2, 0x6200C08D, 0, 4}}},
        // The SCM does not process it: it gets no frame at all.
        LockStepCase{"NodeNotProcessed", {}, [](SimDomain::Domain& d) { EntryOf(d, 6).notProcessed = true; }, {}, 6,
                     [](const std::map<u16, NodeRecord>& r) { EXPECT_EQ(r.at(6).framesReceived, 0u); }, {}, 0},
        LockStepCase{"Busy", {"8:busy=2"}, {}, {}, 0,
                     [](const std::map<u16, NodeRecord>& r) { EXPECT_EQ(r.at(8).busyAnswers, 2u); }}),
    [](const auto& info) { return std::string(info.param.name); });

// A node that asks for its additional parameter set (SN FAIL group 5) gets the
// one loaded from "pardata1.bin": set number 1 lies in sub-index 2.
TEST_F(FirmwareLockStep, AnAdditionalSetFromTheParameterFileReachesTheNodeThatAsksForIt) {
  constexpr u16 kSadr = 3;
  EntryOf(description_, kSadr).device.askAdditional = SimNodes::AdditionalSetAsk{0xF1, {}};
  Start();
  ASSERT_FALSE(HasFatalFailure());
  const Bytes loaded = ReadObject(static_cast<u16>(0xE3FF + kSadr), 2);
  ASSERT_FALSE(loaded.empty());
  // The node takes only the set as the firmware holds it.
  ASSERT_NE(NodeAt(kSadr), nullptr);
  *NodeAt(kSadr) = SimNodes::SimNode([&] {
    SimNodes::NodeConfig c = NodeAt(kSadr)->Config();
    c.askAdditional->expected = loaded;
    return c;
  }());
  EXPECT_LT(RunUntilOperational(0, kLimit), kLimit);
  const NodeRecord& r = NodeAt(kSadr)->Record();
  EXPECT_EQ(r.additionalSetsReceived, 1u);
  EXPECT_EQ(r.acksAccepted, 1u);
  EXPECT_EQ(r.acksRefused, 0u);
  EXPECT_EQ(TakeEvents(), std::vector<Event>{});
}

// A node that carries another UDID waits (status 3) for the operator. The
// application's quit (the call the remote command makes) acknowledges it
// through the cyclic task's handshake; the node is then assigned with the UDID
// it carries, which the UDID list now holds, and the scan after the quit asks
// for the list to be stored once.
TEST_F(FirmwareLockStep, AUdidMismatchIsQuitThroughTheApplication) {
  constexpr u16 kSadr = 9;
  ASSERT_EQ(SimDomain::ApplyFaultOption(description_, "9:udid-mismatch"), "");
  Start();
  ASSERT_FALSE(HasFatalFailure());
  EXPECT_LT(RunUntilOperational(kSadr, kLimit), kLimit);
  // Start-up ends; the node waits in status 3 with one mismatch counted.
  for (u32 i = 0; i < 20000 && (MFWQZ_gbStartUp != 0 || MFWQZ_gbEndOfStartUp != 0 ||
                                MFWQZ_ModuleInfo[kSadr].ulNodeState != 3);
       ++i) {
    Cycle();
  }
  ASSERT_NE(NodeAt(kSadr), nullptr);
  const SimNodes::SimNode& node = *NodeAt(kSadr);
  EXPECT_NE(node.Record().state, NodeState::Operational);
  ASSERT_EQ(MFWQZ_ModuleInfo[kSadr].ulNodeState, 3u);
  EXPECT_EQ(MFWQZ_gbStartUp, 0u);
  EXPECT_EQ(MFWQZ_ulNumberOfUdidMisMatches, 1u);
  EXPECT_GE(Got(node.Record(), Service::UdidRequest), 1u);
  host.files.erase("CORVANE.DAT");
  ASSERT_EQ(MFWQZ_StartToQuitUdidMismatches(), 1);
  EXPECT_LT(RunUntilOperational(0, kLimit), kLimit);
  // The scan after the quit runs to its end.
  for (u32 i = 0; i < 2000 && MFWQZ_gbScanning != 0; ++i) {
    Cycle();
  }
  EXPECT_EQ(MFWQZ_gbScanning, 0u);
  EXPECT_EQ(MFWQZ_gbQuitAll, 0u);
  EXPECT_EQ(MFWQZ_gbAckError, 0u);
  EXPECT_EQ(MFWQZ_ulNumberOfUdidMisMatches, 0u);
  EXPECT_EQ(node.Record().state, NodeState::Operational);
  EXPECT_EQ(MFWQZ_ModuleInfo[kSadr].ulNodeState, 0x81u);
  const SimNodes::Udid carried = SimNodes::DeviceUdid(node.Config());
  EXPECT_EQ(ReadObject(static_cast<u16>(0xCC00 + kSadr), 1), Bytes(carried.begin(), carried.end()));
  EXPECT_EQ(TakeEvents(), std::vector<Event>{});

  // The scan after the quit had the list rewritten by the background task before it ended: the
  // file holds the UDID the node carries.
  EXPECT_EQ(EPS_UdidStoreInProgress(), 0u);
  ASSERT_NE(host.Find("corvane.dat"), nullptr);
  const Bytes written = *host.Find("corvane.dat");
  ASSERT_EQ(written.size(), 13367u);
  const std::size_t at = 64 + 13 * (kSadr - 1) + 7;
  EXPECT_EQ(Bytes(written.begin() + at, written.begin() + at + 6), Bytes(carried.begin(), carried.end()));
  EXPECT_EQ(TakeEvents(), std::vector<Event>{});

  // A firmware started from that file assigns the node at once: no UDID request, no mismatch.
  run_.reset();
  // A fresh process: platform, queues, fake host and firmware state as at start-up.
  FwFixture::SetUp();
  Start(written);
  ASSERT_FALSE(HasFatalFailure());
  EXPECT_LT(RunUntilOperational(0, kLimit), kLimit);
  ASSERT_NE(NodeAt(kSadr), nullptr);
  EXPECT_EQ(Got(NodeAt(kSadr)->Record(), Service::UdidRequest), 0u);
  EXPECT_EQ(NodeAt(kSadr)->Record().state, NodeState::Operational);
  EXPECT_EQ(MFWQZ_ModuleInfo[kSadr].ulNodeState, kStatusOperational);
  EXPECT_EQ(TakeEvents(), std::vector<Event>{});
}

// A node that reports a changed encoder (SN FAIL 3/2) at its set-to-operational
// is counted as a UDID mismatch and waits; the quit acknowledges it through the
// SN-failure acknowledge, and the node goes operational.
TEST_F(FirmwareLockStep, AnEncoderChangeIsCountedAndQuitThroughTheSnFailureAcknowledge) {
  constexpr u16 kSadr = 5;
  ASSERT_EQ(SimDomain::ApplyFaultOption(description_, "5:sn-fail=3/2"), "");
  Start();
  ASSERT_FALSE(HasFatalFailure());
  EXPECT_LT(RunUntilOperational(kSadr, kLimit), kLimit);
  EXPECT_LT(RunUntilStartUpEnds(kStartUpLimit), kStartUpLimit);
  ASSERT_NE(NodeAt(kSadr), nullptr);
  const SimNodes::SimNode& node = *NodeAt(kSadr);
  EXPECT_EQ(node.Record().snFailsSent, 1u);
  EXPECT_NE(node.Record().state, NodeState::Operational);
  EXPECT_EQ(MFWQZ_ModuleInfo[kSadr].ulFlags & MFWQZ_kFlagEncoderChanged, MFWQZ_kFlagEncoderChanged);
  EXPECT_EQ(MFWQZ_ModuleInfo[kSadr].ulNodeState, 0x80u);
  EXPECT_EQ(MFWQZ_ulNumberOfUdidMisMatches, 1u);
  ASSERT_EQ(MFWQZ_StartToQuitUdidMismatches(), 1);
  EXPECT_LT(RunUntilOperational(0, kLimit), kLimit);
  for (u32 i = 0; i < 2000 && MFWQZ_gbScanning != 0; ++i) {
    Cycle();
  }
  EXPECT_EQ(node.Record().state, NodeState::Operational);
  EXPECT_EQ(node.Record().acksAccepted, 1u);
  EXPECT_EQ(MFWQZ_gbAckError, 0u);
  EXPECT_EQ(MFWQZ_ulNumberOfUdidMisMatches, 0u);
  EXPECT_EQ(MFWQZ_ModuleInfo[kSadr].ulNodeState, 0x81u);
  // The SN FAIL, which the SCM reports again while it waits, is the only event: information for the operator.
  const std::vector<Event> events = TakeEvents();
  EXPECT_FALSE(events.empty());
  for (const Event& e : events) {
    EXPECT_EQ(e, (Event{1, 0x6200AF40, 0, kSadr | (3u << 16) | (2u << 24)}));
  }
  EXPECT_EQ(HNFiff_ModuleStateIsNormal(), 1);
}

// A node whose minor revision is higher than the accepted one counts as a
// firmware difference: it is refused round after round, and nothing is fatal.
TEST_F(FirmwareLockStep, AHigherMinorRevisionIsAFirmwareDifferenceRefusedRoundAfterRound) {
  constexpr u16 kSadr = 5;
  EntryOf(description_, kSadr).device.revision = EntryOf(description_, kSadr).revision + 1;
  Start();
  ASSERT_FALSE(HasFatalFailure());
  EXPECT_LT(RunUntilOperational(kSadr, kLimit), kLimit);
  EXPECT_LT(RunUntilStartUpEnds(kStartUpLimit), kStartUpLimit);
  const u64 before = Got(NodeAt(kSadr)->Record(), Service::AssignSadr);
  for (u64 i = 0; i < 4 * run_->GuardCycles(); ++i) {
    Cycle();
  }
  const NodeRecord& r = NodeAt(kSadr)->Record();
  EXPECT_NE(r.state, NodeState::Operational);
  EXPECT_EQ(Got(r, Service::SetOp), 0u);
  EXPECT_GT(Got(r, Service::AssignSadr), before) << "refused round after round";
  EXPECT_EQ(MFWQZ_ModuleInfo[kSadr].ulFlags & MFWQZ_kFlagFirmwareDiff, MFWQZ_kFlagFirmwareDiff);
  EXPECT_EQ(MFWQZ_ModuleInfo[kSadr].usConfiguredRev, static_cast<u16>(EntryOf(description_, kSadr).revision + 1));
  EXPECT_EQ(MFWQZ_ulNumberOfDiffFirmware, 1u);
  for (const Event& e : TakeEvents()) {
    EXPECT_NE(e.code >> 28, 9u) << std::hex << e.code;
  }
  EXPECT_EQ(HNFiff_ModuleStateIsNormal(), 1);
}

// The described module marks reach the firmware's working arrays and its
// auto-configuration flags; a node not to process is not counted.
TEST_F(FirmwareLockStep, DescribedMarksReachTheWorkingArrays) {
  EntryOf(description_, 3).optional = true;
  EntryOf(description_, 4).requiredAtStartup = true;
  EntryOf(description_, 5).notProcessed = true;
  EntryOf(description_, 6).autoConfigured = true;
  Start();
  ASSERT_FALSE(HasFatalFailure());
  const auto bits = [](const u8* a) {
    std::vector<u16> sadrs;
    for (u16 s = 1; s < 1024; ++s) {
      if (MFWQZ_TestSadrBit(a, s) != 0) {
        sadrs.push_back(s);
      }
    }
    return sadrs;
  };
  EXPECT_EQ(bits(MFWQZ_gaucOptFlags), std::vector<u16>{3});
  EXPECT_EQ(bits(MFWQZ_gaucStpFlags), std::vector<u16>{4});
  EXPECT_EQ(bits(MFWQZ_gaucNprFlags), std::vector<u16>{5});
  EXPECT_EQ(bits(MFWQZ_gaucBcmFlags), std::vector<u16>{6});
  EXPECT_EQ(MFWQZ_ModuleInfo[6].ulFlags & MFWQZ_kFlagAutoConfigured, MFWQZ_kFlagAutoConfigured);
  EXPECT_EQ(MFWQZ_gulModuleCount, description_.nodes.size() - 1);
  EXPECT_EQ(MFWQZ_InitState, 2u);
}

}  // namespace
