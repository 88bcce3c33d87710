// Fixture of the configuration manager's tests: fresh fakes and tables, an
// initialised stack, and a cycle harness that runs the firmware's cycle order
// (drain into the dispatcher, budget min(10, free slots), rounds of
// SCM_Trigger, SNMTM_BuildRequest and SSDOC_BuildRequest) against the peer.
#pragma once
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <deque>

#include "ManagerFakes.h"
#include "ManagerTables.h"
#include "SCFM.h"
#include "SCMint.h"
#include "SDN.h"
#include "SERR.h"
#include "SFS.h"
#include "SNMTM.h"
#include "SOD.h"
#include "SSC.h"
#include "SSDOC.h"
#include "ScriptedPeer.h"
#ifdef MGR_TEST_VIA_PUMP
#include "EPSglobal.h"
#include "EPSrxtx.h"
#endif

namespace MgrTest {

/// UDID of test node number k.
inline Udid NodeUdid(u8 k) { return Udid{0x00, 0x11, 0x22, 0x33, 0x44, static_cast<u8>(0x50 + k)}; }

class ManagerFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetFakes();
    UseManagerTables();
    SERR_Init();
    SCFM_Init();
    SSC_InitFsm();
    ASSERT_TRUE(SOD_Init()) << Errors();
    SetDefaults();
    ASSERT_TRUE(SFS_Init()) << Errors();
    ASSERT_TRUE(SDN_Init()) << Errors();
    ASSERT_TRUE(SNMTM_Init()) << Errors();
    ASSERT_TRUE(SSDOC_Init()) << Errors();
    SCM_Init();
    ASSERT_TRUE(g_fakes.errors.empty()) << Errors();
    std::copy(std::begin(g_v.scmUdid), std::end(g_v.scmUdid), peer.scmUdid.begin());
  }

  void TearDown() override {
    // No answer a node can give may reach a fail-safe code.
    EXPECT_LE(MaxErrorCode(), expectMaxCode) << Errors();
  }

  /// Readable list of the recorded errors.
  static std::string Errors() {
    std::string s;
    char buf[32];
    for (const ErrorReport& e : g_fakes.errors) {
      std::snprintf(buf, sizeof buf, "{%04X,%X} ", e.code, e.info);
      s += buf;
    }
    return s;
  }

  /// Adds node k (FSM index order) with SADR to the list and an ideal peer node.
  SimNode& AddNode(u16 listIdx, u16 sadr) {
    const Udid u = NodeUdid(static_cast<u8>(listIdx));
    SetNode(listIdx, sadr, u.data());
    return peer.AddNode(sadr, u);
  }

  /// One firmware cycle; returns the frames the SCM sent in it.
  std::vector<Bytes> Cycle() {
    std::vector<std::pair<u32, Bytes>> keep;
    std::vector<Bytes> arrivals;
    for (auto& [at, frame] : inbox) {
      if (at <= cycle) {
        arrivals.push_back(frame);
      } else {
        keep.emplace_back(at, frame);
      }
    }
    inbox = keep;
    const std::size_t first = g_fakes.sent.size();
    budgetSeen.push_back(std::min<u8>(10, freeSlots));
    PumpCycle(arrivals);
    std::vector<Bytes> out;
    for (std::size_t i = first; i < g_fakes.sent.size(); ++i) {
      out.push_back(g_fakes.sent[i].bytes);
      for (auto& [delay, answer] : peer.Receive(g_fakes.sent[i].bytes)) {
        inbox.emplace_back(cycle + 1 + delay, answer);
      }
    }
    ct += ctStep;
    ++cycle;
    return out;
  }

#ifdef MGR_TEST_VIA_PUMP
  /// The cycle through the firmware's frame pump over the channel fakes.
  void PumpCycle(const std::vector<Bytes>& arrivals) {
    g_fakes.rx.insert(g_fakes.rx.end(), arrivals.begin(), arrivals.end());
    g_fakes.freeSlots = freeSlots;
    EPS_gGlobal.ulModuleState = 0xFF00AA55u;
    EPS_gGlobal.ulCt = ct;
    EPS_RxTxSsdo();
  }
#else
  /// The cycle in the pump's order: drain into the dispatcher, budget, then rounds.
  void PumpCycle(const std::vector<Bytes>& arrivals) {
    for (const Bytes& frame : arrivals) {
      if (SSC_ProcessSNMTSSDOFrame(ct, frame.data(), static_cast<u16>(frame.size()))) {
        while (SSC_ProcessSNMTSSDOFrame(ct, nullptr, 0)) {
        }
      }
    }
    u8 counter = std::min<u8>(10, freeSlots);
    for (;;) {
      const u8 before = counter;
      SCM_Trigger(ct, &counter);
      SNMTM_BuildRequest(ct, &counter);
      SSDOC_BuildRequest(ct, &counter);
      if (counter == 0 || counter == before) {
        break;
      }
    }
  }
#endif

  /// Runs n cycles.
  void Run(u32 n) {
    for (u32 i = 0; i < n; ++i) {
      (void)Cycle();
    }
  }

  /// Runs until the node reaches the state, at most n cycles; true when reached.
  bool RunUntilState(u16 fsm, u32 state, u32 n) {
    for (u32 i = 0; i < n; ++i) {
      if (Node(fsm).ulState == state) {
        return true;
      }
      (void)Cycle();
    }
    return Node(fsm).ulState == state;
  }

  /// The node block of an FSM index.
  static const SCM_FsmCb& Node(u16 fsm) { return SCM_as_FsmCb[fsm]; }

  /// Statuses reported for a SADR, in order (new values).
  static std::vector<u8> StatusesOf(u16 sadr) {
    std::vector<u8> v;
    for (const StatusReport& r : g_fakes.statuses) {
      if (r.sadr == sadr) {
        v.push_back(r.newSt);
      }
    }
    return v;
  }

  ScriptedPeer peer;                          ///< the nodes
  std::vector<std::pair<u32, Bytes>> inbox;   ///< answers by the cycle they arrive in
  u32 ct = 0x1000;                            ///< CT of the next cycle
  u32 ctStep = 10;                            ///< CT per cycle
  u32 cycle = 0;                              ///< cycles run
  u8 freeSlots = 10;                          ///< free slots of the outgoing queue
  std::vector<u8> budgetSeen;                 ///< budget of each cycle
  u16 expectMaxCode = 0x3FFF;                 ///< highest code a test allows
};

}  // namespace MgrTest
