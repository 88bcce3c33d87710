// The SADR-UDID store writer over the real object dictionary: the file it
// writes, its tries after failures, a busy storage, the fail-safe switch and
// the one end of the reset hold-off per request.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <optional>

#include "EPSod.h"
#include "EPSudid.h"
#include "HNFcyc.h"
#include "HNFiff_ModuleState.h"
#include "ParamFixture.h"
#include "ParameterFileBuilders.h"
#include "SOD.h"
#include "ScmSystemCalls.h"

namespace ParamTest {
namespace {

using FwTest::Event;
using TestFiles::UdidEntry;

/// Event of the writer.
Event StoreFault(std::uint32_t info1) { return {2, EPS_kEvtUdidStore, 0, info1}; }

class UdidStore : public ParamFixture {
 public:
  void SetUp() override {
    ParamFixture::SetUp();
    InitDemo();
    (void)TakeEvents();
    host.calls.clear();
  }
  /// Runs steps as one background pass does; the steps run.
  int Pass() {
    int steps = 0;
    while (EPS_UdidStoreInProgress() != 0) {
      ++steps;
      if (EPS_StoreSadrUdid() == 0) {
        break;
      }
    }
    return steps;
  }
  int Count(int call) const { return static_cast<int>(std::count(host.calls.begin(), host.calls.end(), call)); }
  const Bytes* Written() { return host.Find("corvane.dat"); }
  /// The UDID entries the object dictionary holds now.
  std::vector<UdidEntry> Entries() const {
    std::vector<UdidEntry> out;
    for (std::uint16_t sadr = 1; sadr <= 1023; ++sadr) {
      UdidEntry e{sadr, {}};
      std::memcpy(e.udid.data(), EPS_gaucUdid[sadr - 1], 6);
      if (std::any_of(e.udid.begin(), e.udid.end(), [](std::uint8_t b) { return b != 0; })) {
        out.push_back(e);
      }
    }
    return out;
  }
};

TEST_F(UdidStore, TheWrittenFileHoldsEverySadrInOrderAndLoadsSilently) {
  const std::uint8_t udid[6] = {0x00, 0x11, 0x22, 0x33, 0x44, 0x99};
  std::memcpy(EPS_gaucUdid[1022 - 1], udid, 6);
  const auto entries = Entries();
  ASSERT_GE(entries.size(), 2u);
  EPS_StartStoreSadrUdid();
  EXPECT_EQ(EPS_UdidStoreInProgress(), 1);
  Pass();
  EXPECT_EQ(EPS_UdidStoreInProgress(), 0);
  ASSERT_NE(Written(), nullptr);
  const Bytes file = *Written();
  ASSERT_EQ(file.size(), 13367u);
  EXPECT_EQ(file, TestFiles::BuildCorvaneDatFull(entries));
  EXPECT_EQ(Get16(file, 2), 2u);
  EXPECT_EQ(Get32(file, 16), 13363u);
  for (std::uint16_t sadr = 1; sadr <= 1023; ++sadr) {
    const std::size_t at = 64 + 13u * (sadr - 1);
    ASSERT_EQ(Get16(file, at), 0xCC00 + sadr);
  }
  EXPECT_EQ(TakeEvents(), std::vector<Event>{});
  EXPECT_EQ(Count(SCM_SC_OPEN_STORAGE), 1);
  EXPECT_EQ(Count(SCM_SC_WRITE_STORAGE), 1);
  EXPECT_EQ(Count(SCM_SC_UNLOCK_RESET), 1);
  EXPECT_EQ(host.openHandles, 0);
  // A start from the written file loads the same UDIDs and raises nothing.
  std::memset(EPS_gaucUdid, 0, sizeof(EPS_gaucUdid));
  Init(demoFiles.kelParaSaf, file, *demoFiles.parData1);
  EXPECT_EQ(TakeEvents(), std::vector<Event>{});
  EXPECT_EQ(Read(0xCC00 + 1022, 1), Bytes(udid, udid + 6));
  EXPECT_EQ(Entries().size(), entries.size());
}

TEST_F(UdidStore, EachFailureIsTriedThreeTimesAtLeastASecondApartThenDropped) {
  const struct {
    const char* what;
    std::function<void(FwTest::FakeHost&)> fault;
    std::vector<Event> perTry;
  } cases[] = {
      {"open refused", [](FwTest::FakeHost& h) { h.failing = {SCM_SC_OPEN_STORAGE}; },
       {{2, 0x62008A02u, 0, 3}, StoreFault(2)}},
      {"write failed", [](FwTest::FakeHost& h) { h.failing = {SCM_SC_WRITE_STORAGE}; },
       {{2, 0x62008A05u, 0, 2}, StoreFault(1)}},
      {"short write",
       [](FwTest::FakeHost& h) {
         h.faultyFile = "CORVANE.DAT";
         h.shortWriteBy = 1;
         h.shortWrites = 100;
       },
       {StoreFault(1)}},
      {"close failed", [](FwTest::FakeHost& h) { h.failingCloses = {"corvane.dat"}; },
       {{2, 0x62008A01u, 0, 3}, StoreFault(3)}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    InitDemo();
    (void)TakeEvents();
    host.calls.clear();
    host.failing.clear();
    host.failingCloses.clear();
    host.shortWrites = 0;
    c.fault(host);
    host.counter = 10000000;
    EPS_StartStoreSadrUdid();
    Pass();
    EXPECT_EQ(TakeEvents(), c.perTry);
    // Not again within the second, but still in progress.
    host.counter += 999999;
    Pass();
    EXPECT_EQ(TakeEvents(), std::vector<Event>{});
    EXPECT_EQ(EPS_UdidStoreInProgress(), 1);
    EXPECT_EQ(Count(SCM_SC_UNLOCK_RESET), 0);
    host.counter += 1;
    Pass();
    EXPECT_EQ(TakeEvents(), c.perTry);
    EXPECT_EQ(EPS_UdidStoreInProgress(), 1);
    host.counter += 1000000;
    Pass();
    EXPECT_EQ(TakeEvents(), c.perTry);
    EXPECT_EQ(EPS_UdidStoreInProgress(), 0);
    host.counter += 5000000;
    Pass();
    EXPECT_EQ(TakeEvents(), std::vector<Event>{});
    EXPECT_EQ(Count(SCM_SC_UNLOCK_RESET), 1);
    EXPECT_EQ(host.openHandles, 0);
  }
}

TEST_F(UdidStore, ASecondTryThatSucceedsWritesTheFileAndEndsTheHoldOffOnce) {
  host.failNth[SCM_SC_WRITE_STORAGE] = 1;
  host.counter = 1;
  EPS_StartStoreSadrUdid();
  Pass();
  EXPECT_EQ(TakeEvents(), (std::vector<Event>{{2, 0x62008A05u, 0, 2}, StoreFault(1)}));
  host.counter += 1000000;
  Pass();
  EXPECT_EQ(TakeEvents(), std::vector<Event>{});
  EXPECT_EQ(EPS_UdidStoreInProgress(), 0);
  ASSERT_NE(Written(), nullptr);
  EXPECT_EQ(*Written(), TestFiles::BuildCorvaneDatFull(Entries()));
  EXPECT_EQ(Count(SCM_SC_UNLOCK_RESET), 1);
}

TEST_F(UdidStore, ABusyStorageTakesOneOpenPerPassWhileUnlockRequestsAreServed) {
  HNFcyc_statusInfo[1] = HNFcyc_kStepLoaded;
  host.busyOpens = 1000;
  EPS_StartStoreSadrUdid();
  for (int pass = 1; pass <= 3; ++pass) {
    PutComplemented("unlock-request", Bytes(21, 0));
    HNFcyc_BgTask();
    EXPECT_EQ(Count(SCM_SC_OPEN_STORAGE), pass);
    EXPECT_EQ(TakePlain("unlock-response").size(), 1u);
  }
  EXPECT_EQ(EPS_UdidStoreInProgress(), 1);
  host.busyOpens = 0;
  HNFcyc_BgTask();
  EXPECT_EQ(EPS_UdidStoreInProgress(), 0);
  EXPECT_EQ(Count(SCM_SC_UNLOCK_RESET), 1);
  ASSERT_NE(Written(), nullptr);
  EXPECT_EQ(Written()->size(), 13367u);
}

TEST_F(UdidStore, ARewriteOpenAtTheFailSafeSwitchIsFinishedAndNothingNewIsOpened) {
  EPS_StartStoreSadrUdid();
  // Idle, snapshot, open: the file is open now.
  ASSERT_EQ(EPS_StoreSadrUdid(), 1);
  ASSERT_EQ(EPS_StoreSadrUdid(), 1);
  ASSERT_EQ(EPS_StoreSadrUdid(), 1);
  ASSERT_EQ(host.openHandles, 1);
  HNFiff_ModuleStateFailSafe();
  EPS_StartStoreSadrUdid();
  Pass();
  EXPECT_EQ(host.openHandles, 0);
  ASSERT_NE(Written(), nullptr);
  EXPECT_EQ(Written()->size(), 13367u);
  // The request made meanwhile ends without an open; each request ended the hold-off once.
  EXPECT_EQ(EPS_UdidStoreInProgress(), 0);
  EXPECT_EQ(Count(SCM_SC_OPEN_STORAGE), 1);
  EXPECT_EQ(Count(SCM_SC_UNLOCK_RESET), 2);
}

TEST_F(UdidStore, ARequestDuringARewriteRunsAfterIt) {
  EPS_StartStoreSadrUdid();
  ASSERT_EQ(EPS_StoreSadrUdid(), 1);
  ASSERT_EQ(EPS_StoreSadrUdid(), 1);
  const std::uint8_t udid[6] = {0, 0, 0, 0, 0x77, 0x77};
  std::memcpy(EPS_gaucUdid[500 - 1], udid, 6);
  EPS_StartStoreSadrUdid();
  Pass();
  EXPECT_EQ(Count(SCM_SC_OPEN_STORAGE), 2);
  EXPECT_EQ(Count(SCM_SC_UNLOCK_RESET), 2);
  EXPECT_EQ(*Written(), TestFiles::BuildCorvaneDatFull(Entries()));
}

TEST_F(UdidStore, AnUnreadableUdidEndsTheRequestBeforeTheOpen) {
  // SADR 5's UDID no longer reads as its six bytes: the snapshot fails, nothing is opened.
  SOD_Access acc{};
  acc.obj.usIndex = 0xCC05;
  acc.obj.ucSubIndex = 1;
  SOD_ErrorInfo err{};
  ASSERT_NE(SOD_AttrGetVirt(&acc, &err), nullptr);
  ASSERT_TRUE(SOD_ActualLenSetVirt(&acc, 5));
  const Bytes* before = Written();
  const std::optional<Bytes> old = before != nullptr ? std::optional<Bytes>(*before) : std::nullopt;
  EPS_StartStoreSadrUdid();
  Pass();
  EXPECT_EQ(TakeEvents(), std::vector<Event>{StoreFault(EPS_kUdidFailRead)});
  EXPECT_EQ(EPS_UdidStoreInProgress(), 0);
  EXPECT_EQ(Count(SCM_SC_OPEN_STORAGE), 0);
  EXPECT_EQ(Count(SCM_SC_UNLOCK_RESET), 1) << "the request ended once";
  const Bytes* after = Written();
  EXPECT_EQ(after != nullptr ? std::optional<Bytes>(*after) : std::nullopt, old);
}

TEST_F(UdidStore, AFailedEndOfTheHoldOffIsReported) {
  host.failing = {SCM_SC_UNLOCK_RESET};
  EPS_StartStoreSadrUdid();
  Pass();
  EXPECT_EQ(TakeEvents(), (std::vector<Event>{{2, HNFcyc_kEvtResetFailed, 0, 1}}));
}

}  // namespace
}  // namespace ParamTest
