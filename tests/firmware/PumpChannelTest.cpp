// The frame pump over the real frame channel and queues: received frames reach
// the dispatcher complemented back, sent frames leave in wire order,
// complemented, within the free slots of the outgoing queue.
#include <gtest/gtest.h>

#include "EPSglobal.h"
#include "EPSrxtx.h"
#include "FwUnitSupport.h"
#include "HNFcom.h"
#include "HNFiff_ModuleState.h"
#include "MFWQZ.h"
#include "SAPL.h"
#include "SCM.h"
#include "SNMTM.h"
#include "SNMTS.h"
#include "SSC.h"
#include "SSDOC.h"

namespace {

/// What the stack stand-ins below saw and do.
struct PumpStack {
  std::vector<std::vector<uint8_t>> dispatched;  ///< frames given to the dispatcher
  std::vector<uint8_t> frame;                    ///< the frame SCM_Trigger sends, as the serializer leaves it
  uint8_t type = 4;                              ///< its telegram type
  uint32_t triggers = 0;                         ///< SCM_Trigger calls
};
PumpStack g_stack;

/// Sends g_stack.frame once through the transmit block; true when it left.
bool SendOne() {
  u8* block = SHNF_GetTxMemBlock(static_cast<u16>(g_stack.frame.size()), g_stack.type);
  if (block == nullptr) {
    return false;
  }
  std::copy(g_stack.frame.begin(), g_stack.frame.end(), block);
  return SHNF_MarkTxMemBlock(block) == 1;
}

}  // namespace

bool SSC_ProcessSNMTSSDOFrame(u32, const u8* frame, u16 length) {
  if (frame != nullptr) {
    g_stack.dispatched.emplace_back(frame, frame + length);
  }
  return false;
}
void SNMTS_TimerCheck(u32, u8*) {}
void SCM_Trigger(u32, u8* freeFrames) {
  ++g_stack.triggers;
  if (*freeFrames > 0 && !g_stack.frame.empty() && SendOne()) {
    --*freeFrames;
  }
}
void SNMTM_BuildRequest(u32, u8*) {}
void SSDOC_BuildRequest(u32, u8*) {}

namespace FwTest {
namespace {

class FwPumpChannel : public FwFixture {
 public:
  void SetUp() override {
    FwFixture::SetUp();
    // The running hardware is known: the application lets frames pass.
    (void)MFWQZ_GetTargetId();
    g_stack = PumpStack{};
    EPS_gGlobal.ulModuleState = HNFiff_kModuleStateNormal;
  }
  void FillOutgoing(int messages) {
    const std::string name = ScmName("frame-receive");
    for (int i = 0; i < messages; ++i) {
      ASSERT_EQ(ScmMemQueuePut(name.c_str(), "x", 1), OK);
    }
  }
};

TEST_F(FwPumpChannel, ReceivedFramesReachTheDispatcherUntilAnEmptyOne) {
  PutComplemented("frame-send", {1, 2, 3});
  PutComplemented("frame-send", {4, 5});
  PutComplemented("frame-send", {});
  PutComplemented("frame-send", {6});
  EPS_RxTxSsdo();
  EXPECT_EQ(g_stack.dispatched, (std::vector<std::vector<uint8_t>>{{1, 2, 3}, {4, 5}}));
  EXPECT_EQ(ScmMemQueueCount(ScmName("frame-send").c_str()), 1);
  EPS_RxTxSsdo();
  EXPECT_EQ(g_stack.dispatched.size(), 3u);
  EXPECT_TRUE(TakeEvents().empty()) << "every buffer was released";
}

TEST_F(FwPumpChannel, FramesLeaveInWireOrderComplemented) {
  // An SNMT frame held as TWO (7 bytes) then ONE (6 bytes).
  g_stack.frame = {20, 21, 22, 23, 24, 25, 26, 10, 11, 12, 13, 14, 15};
  FillOutgoing(kCapacity - 1);
  EPS_RxTxSsdo();
  const auto sent = TakePlain("frame-receive");
  ASSERT_EQ(sent.size(), static_cast<size_t>(kCapacity));
  EXPECT_EQ(sent.back(), (std::vector<uint8_t>{10, 11, 12, 13, 14, 15, 20, 21, 22, 23, 24, 25, 26}));
  EXPECT_TRUE(TakeEvents().empty());
}

TEST_F(FwPumpChannel, BudgetIsTheFreeSlotsAtMostTen) {
  const struct {
    int capacity, waiting;
    size_t sent;
  } cases[] = {{8, 5, 3}, {8, 8, 0}, {60, 10, 10}, {300, 0, 10}};
  g_stack.frame = {1, 2, 3, 4, 5, 6, 7};
  for (const auto& c : cases) {
    SetUp();
    g_stack.frame = {1, 2, 3, 4, 5, 6, 7};
    const std::string name = ScmName("frame-receive");
    ASSERT_EQ(ScmMemDeleteQueue(name.c_str()), OK);
    ASSERT_EQ(ScmMemCreateQueue(name.c_str(), c.capacity, 521), OK);
    ASSERT_EQ(HNFcom_Init(), 0);
    FillOutgoing(c.waiting);
    EPS_RxTxSsdo();
    EXPECT_EQ(TakePlain("frame-receive").size(), static_cast<size_t>(c.waiting) + c.sent) << c.capacity;
  }
}

TEST_F(FwPumpChannel, FullQueueIsRetriedThenReportedAndTheBufferReleased) {
  g_stack.frame = {1, 2, 3, 4, 5};
  FillOutgoing(kCapacity);
  EXPECT_FALSE(SendOne());
  EXPECT_EQ(ScmMemDelayCalls(), 101);
  EXPECT_EQ(ScmMemDelayTicks(), 101 * 1000);
  EXPECT_EQ(TakeEvents(), (std::vector<Event>{{3, 0x92008193, 0, SCM_ERRNO_UNAVAILABLE}}));
  EXPECT_EQ(HNFcom_IsSendBufferOccupied(HNFcom_kChFrame), 0);
}

TEST_F(FwPumpChannel, QueueThatEmptiesDuringTheRetriesTakesTheSameBytes) {
  g_stack.frame = {1, 2, 3, 4, 5, 6, 7};
  FillOutgoing(kCapacity);
  const std::string name = ScmName("frame-receive");
  int delays = 0;
  ScmMemSetDelayHook([&](int) {
    if (++delays == 3) {
      ScmMemQueueClear(name.c_str());
    }
  });
  EXPECT_TRUE(SendOne());
  EXPECT_EQ(TakePlain("frame-receive"), (std::vector<std::vector<uint8_t>>{{5, 6, 7, 1, 2, 3, 4}}));
  EXPECT_TRUE(TakeEvents().empty());
}

TEST_F(FwPumpChannel, NothingMovesWhenFailSafe) {
  EPS_gGlobal.ulModuleState = HNFiff_kModuleStateFailSafe;
  PutComplemented("frame-send", {1});
  g_stack.frame = {1, 2, 3};
  EPS_RxTxSsdo();
  EXPECT_TRUE(g_stack.dispatched.empty());
  EXPECT_EQ(g_stack.triggers, 0u);
}

}  // namespace
}  // namespace FwTest
