// Lock-step runs: the configuration manager of the stack, cycle by cycle with
// CT advanced per cycle, against the simulated nodes on the simulated
// network. Every scenario is checked through the node records and the frames
// only.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "FrameNetwork.h"
#include "ManagerFixture.h"
#include "SCM.h"

namespace {

using SimNodes::NodeState;

using SimNodes::Service;

/// Checks of a scenario on the first node's record and the network.
using Check = std::function<void(const SimNodes::NodeRecord&, const ScmSim::FrameNetwork&)>;

/// Requests of a service the node received.
u32 Got(const SimNodes::NodeRecord& r, Service s) { return r.services[static_cast<std::size_t>(s)].received; }

/// One scenario.
struct LockStepCase {
  const char* name;                   ///< case name
  u16 nodes;                          ///< nodes at SADR 5, 6, ...
  std::vector<std::string> faults;    ///< faults of the first node
  std::vector<std::string> wire;      ///< wire faults (positions)
  bool firstOperational;              ///< the first node ends operational
  bool operatorAck = false;           ///< acknowledge a UDID mismatch of the first node once it waits
  bool askAdditional = false;         ///< the first node asks for additional set 1
  u32 cycles = 400;                   ///< cycles to run
  Check check = {};                   ///< what else the first node's record shows
  u8 window = 1;                      ///< preload window of the first node
};

class LockStep : public MgrTest::ManagerFixture, public ::testing::WithParamInterface<LockStepCase> {
 protected:
  static constexpr u16 kFirstSadr = 5;  ///< SADR of the first node

  /// A node list entry for list index i and the device that matches it.
  SimNodes::NodeConfig Entry(u16 i) {
    const u16 sadr = static_cast<u16>(kFirstSadr + i);
    const MgrTest::Udid udid = MgrTest::NodeUdid(static_cast<u8>(i));
    MgrTest::SetNode(i, sadr, udid.data());
    MgrTest::NodeEntry& n = MgrTest::g_v.nodes[i];
    SimNodes::NodeConfig c;
    c.position = sadr;
    std::copy(udid.begin(), udid.end(), c.udid.begin());
    c.vendorId = n.vendor;
    c.productCode = n.product;
    c.revision = n.revision;
    c.timestamp = n.timestamp;
    c.payloadLimit = n.payload;
    c.parameterSet.resize(100);
    for (std::size_t k = 0; k < c.parameterSet.size(); ++k) {
      c.parameterSet[k] = static_cast<u8>(sadr + 3 * k);
    }
    std::memcpy(n.param, c.parameterSet.data(), c.parameterSet.size());
    n.paramLen = static_cast<u32>(c.parameterSet.size());
    n.paramVar.ulActLen = n.paramLen;
    c.checksum = {0xC0, static_cast<u8>(sadr), 0x5A, 0xA5};
    std::memcpy(n.chk, c.checksum.data(), c.checksum.size());
    n.chkVar.ulActLen = static_cast<u32>(c.checksum.size());
    c.guardTimeUs = MgrTest::g_v.guardTime;
    c.lifeFactor = MgrTest::g_v.lifeFactor;
    return c;
  }

  /// One cycle: answers of the last cycle in, the SCM's frames out to the network.
  void NetCycle(ScmSim::FrameNetwork& net) {
    std::vector<MgrTest::Bytes> arrivals;
    for (ScmSim::DueFrame& f : pending_) {
      arrivals.push_back(std::move(f.frame));
    }
    pending_.clear();
    const std::size_t first = MgrTest::g_fakes.sent.size();
    PumpCycle(arrivals);
    for (std::size_t i = first; i < MgrTest::g_fakes.sent.size(); ++i) {
      net.FromFirmware(MgrTest::g_fakes.sent[i].bytes, cycle, ct);
    }
    net.Tick(cycle, ct);
    pending_ = net.TakeDue(cycle);
    ct += ctStep;
    ++cycle;
  }

  std::vector<ScmSim::DueFrame> pending_;  ///< answers for the next cycle
};

TEST_P(LockStep, EndsAsTheScenarioSays) {
  const LockStepCase& c = GetParam();
  std::vector<SimNodes::NodeConfig> configs;
  for (u16 i = 0; i < c.nodes; ++i) {
    configs.push_back(Entry(i));
  }
  for (const std::string& f : c.faults) {
    ASSERT_EQ(SimNodes::ApplyFault(f, configs[0].faults), "") << f;
  }
  configs[0].preloadWindow = c.window;
  if (c.askAdditional) {
    // Additional set 1 of the first node: version 1, its SADR, then data.
    u8* set = MgrTest::g_v.addParam[kFirstSadr][0];
    const u8 bytes[16] = {0x00, 0x01, kFirstSadr, 0x00, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    std::memcpy(set, bytes, sizeof bytes);
    MgrTest::g_v.addParamVar[kFirstSadr][0].ulActLen = sizeof bytes;
    configs[0].askAdditional = SimNodes::AdditionalSetAsk{0x00, SimNodes::Bytes(bytes, bytes + sizeof bytes)};
  }
  ScmSim::WireFaultPlan plan;
  for (const std::string& w : c.wire) {
    ASSERT_EQ(ScmSim::ParseWireFault(w, plan), "") << w;
  }
  ScmSim::FrameNetwork net(configs, plan);
  ASSERT_TRUE(SCM_Activate()) << Errors();
  bool acked = false;
  for (u32 i = 0; i < c.cycles; ++i) {
    NetCycle(net);
    if (c.operatorAck && !acked && !MgrTest::g_fakes.mismatches.empty()) {
      acked = SCM_OperatorAck(MgrTest::g_fakes.mismatches.front().fsm) != 0;
    }
  }
  for (u16 i = 0; i < c.nodes; ++i) {
    const SimNodes::SimNode& node = net.Nodes()[i];
    const bool want = i == 0 ? c.firstOperational : true;
    EXPECT_EQ(node.Record().state == NodeState::Operational, want)
        << "node " << i << " is " << SimNodes::StateName(node.Record().state);
    if (want) {
      EXPECT_GT(node.Record().guardAnswers, 0u) << "node " << i;
    }
  }
  if (c.check) {
    c.check(net.Nodes()[0].Record(), net);
  }
  EXPECT_EQ(net.Counts().noNode, 0u);
  EXPECT_EQ(net.Counts().notRequest, 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Scenarios, LockStep,
    ::testing::Values(
        LockStepCase{"AllGood1", 1, {}, {}, true, false, false, 400,
                     [](const SimNodes::NodeRecord& r, const ScmSim::FrameNetwork&) {
                       EXPECT_EQ(r.downloadsComplete, 0u);
                       EXPECT_EQ(r.operationalCount, 1u);
                       EXPECT_TRUE(r.faultsApplied.empty());
                     }},
        LockStepCase{"AllGood4", 4, {}, {}, true},
        LockStepCase{"AllGood12", 12, {}, {}, true, false, false, 1200},
        LockStepCase{"WrongVendor", 2, {"wrong-vendor"}, {}, false, false, false, 400,
                     [](const SimNodes::NodeRecord& r, const ScmSim::FrameNetwork&) {
                       EXPECT_GE(r.faultsApplied.at("wrong-vendor"), 2u);  // read again round after round
                       EXPECT_EQ(Got(r, Service::SsdoUpload), r.faultsApplied.at("wrong-vendor"));
                       EXPECT_EQ(Got(r, Service::SetOp), 0u);
                     }},
        LockStepCase{"WrongProduct", 2, {"wrong-product"}, {}, false, false, false, 400,
                     [](const SimNodes::NodeRecord& r, const ScmSim::FrameNetwork&) {
                       EXPECT_GE(r.faultsApplied.at("wrong-product"), 2u);
                       EXPECT_EQ(Got(r, Service::SetOp), 0u);
                     }},
        LockStepCase{"WrongRevision", 2, {"wrong-revision"}, {}, false, false, false, 400,
                     [](const SimNodes::NodeRecord& r, const ScmSim::FrameNetwork&) {
                       EXPECT_GE(r.faultsApplied.at("wrong-revision"), 2u);
                       EXPECT_EQ(Got(r, Service::SetOp), 0u);
                     }},
        LockStepCase{"UdidMismatchThenOperatorAck", 2, {"udid-mismatch"}, {}, true, true, false, 400,
                     [](const SimNodes::NodeRecord& r, const ScmSim::FrameNetwork&) {
                       EXPECT_GE(Got(r, Service::UdidRequest), 1u);
                       EXPECT_EQ(r.operationalCount, 1u);
                     }},
        LockStepCase{"UdidMismatchWaits", 2, {"udid-mismatch"}, {}, false, false, false, 400,
                     [](const SimNodes::NodeRecord& r, const ScmSim::FrameNetwork&) {
                       // Asked for its UDID after the unanswered assignments, then left alone.
                       EXPECT_EQ(Got(r, Service::UdidRequest), 1u);
                       EXPECT_EQ(r.framesReceived, Got(r, Service::AssignSadr) + 1u);
                       EXPECT_EQ(r.lastRequest, Service::UdidRequest);
                     }},
        LockStepCase{"Silent", 2, {"silent"}, {}, false, false, false, 400,
                     [](const SimNodes::NodeRecord& r, const ScmSim::FrameNetwork&) {
                       EXPECT_GE(Got(r, Service::AssignSadr), 2u);  // in rounds
                       EXPECT_GE(Got(r, Service::UdidRequest), 2u);
                       EXPECT_EQ(r.framesReceived, Got(r, Service::AssignSadr) + Got(r, Service::UdidRequest));
                     }},
        LockStepCase{"Busy", 2, {"busy=3"}, {}, true, false, false, 400,
                     [](const SimNodes::NodeRecord& r, const ScmSim::FrameNetwork&) {
                       EXPECT_EQ(r.busyAnswers, 3u);
                       EXPECT_EQ(Got(r, Service::SetOp), 4u);
                     }},
        LockStepCase{"DownloadWithPreload", 2, {"wrong-checksum"}, {}, true, false, false, 400,
                     [](const SimNodes::NodeRecord& r, const ScmSim::FrameNetwork& net) {
                       EXPECT_EQ(r.downloadsMatching, 1u);
                       bool slim = false;
                       for (const ScmSim::TraceLine& l : net.Trace()) {
                         slim = slim || (l.id == 0x3A && l.service.rfind("ssdo-download-preload", 0) == 0);
                       }
                       EXPECT_TRUE(slim);
                     }},
        LockStepCase{"DownloadWithPreloadWindow4", 2, {"wrong-checksum"}, {}, true, false, false, 400,
                     [](const SimNodes::NodeRecord& r, const ScmSim::FrameNetwork&) {
                       EXPECT_EQ(r.downloadsMatching, 1u);
                       EXPECT_EQ(r.repeatRequests, 0u);
                     },
                     4},
        LockStepCase{"DownloadWindow4WithLostSegment", 2, {"wrong-checksum"}, {"5:to:10:drop"}, true, false, false,
                     600,
                     [](const SimNodes::NodeRecord& r, const ScmSim::FrameNetwork&) {
                       EXPECT_GE(r.repeatRequests, 1u);  // the gap after the lost segment
                       EXPECT_EQ(r.downloadsMatching, 1u);
                     },
                     4},
        LockStepCase{"DownloadFallback", 2, {"wrong-checksum", "preload-refused"}, {}, true, false, false, 400,
                     [](const SimNodes::NodeRecord& r, const ScmSim::FrameNetwork&) {
                       EXPECT_EQ(r.faultsApplied.at("preload-refused"), 1u);
                       EXPECT_EQ(r.downloadsMatching, 1u);
                     }},
        LockStepCase{"AdditionalSet", 2, {}, {}, true, false, true, 400,
                     [](const SimNodes::NodeRecord& r, const ScmSim::FrameNetwork&) {
                       EXPECT_EQ(r.additionalSetsReceived, 1u);
                       EXPECT_EQ(r.acksAccepted, 1u);
                       EXPECT_EQ(r.acksRefused, 0u);
                     }},
        LockStepCase{"SnFailWaitsForAcknowledge", 2, {"sn-fail=6/2"}, {}, false, false, false, 400,
                     [](const SimNodes::NodeRecord& r, const ScmSim::FrameNetwork&) {
                       EXPECT_EQ(r.snFailsSent, 1u);
                       ASSERT_TRUE(r.pendingSnFail);
                       EXPECT_EQ(Got(r, Service::ErrorAck), 0u);
                       EXPECT_EQ(r.lastRequest, Service::SetOp);
                     }},
        LockStepCase{"WrongTimestampRestarts", 2, {"wrong-timestamp"}, {}, false, false, false, 400,
                     [](const SimNodes::NodeRecord& r, const ScmSim::FrameNetwork&) {
                       // SN FAIL 4/1 is acknowledged at once with its own bytes, and the road starts again.
                       EXPECT_GE(r.snFailsSent, 2u);
                       EXPECT_GE(r.acksAccepted, 1u);
                       EXPECT_EQ(r.acksRefused, 0u);
                       EXPECT_GE(Got(r, Service::AssignSadr), 2u);
                     }},
        LockStepCase{"WireDropToNode", 2, {}, {"5:to:1:drop"}, true},
        LockStepCase{"WireDropFromNode", 2, {}, {"5:from:3:drop"}, true},
        LockStepCase{"WireDuplicateToNode", 2, {}, {"5:to:2:duplicate"}, true},
        LockStepCase{"WireDuplicateFromNode", 2, {}, {"5:from:2:duplicate"}, true},
        LockStepCase{"WireDelayFromNode", 2, {}, {"5:from:1:delay=3"}, true},
        LockStepCase{"WireCorruptToNode", 2, {}, {"5:to:4:corrupt"}, true, false, false, 400,
                     [](const SimNodes::NodeRecord& r, const ScmSim::FrameNetwork& net) {
                       EXPECT_EQ(net.Counts().corrupted, 1u);
                       EXPECT_EQ(r.framesDropped, 1u);
                     }},
        LockStepCase{"WireCorruptFromNode", 2, {}, {"5:from:1:corrupt"}, true, false, false, 400,
                     [](const SimNodes::NodeRecord& r, const ScmSim::FrameNetwork&) {
                       EXPECT_EQ(Got(r, Service::AssignSadr), 2u);  // the request is repeated
                     }}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
