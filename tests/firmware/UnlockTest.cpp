// Unlock request and file download over the in-memory platform and the fake
// host: the four names in any case, sizes at the limits, a failure at every
// host call with the files it leaves, and the handler's answer and reset timer.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "ScmProfile.h"
#include "FwUnitSupport.h"
#include "HNFcom.h"
#include "HNFcyc.h"
#include "HNFunl.h"
#include "ScmSystemCalls.h"

namespace FwTest {
namespace {

using Bytes = std::vector<uint8_t>;

/// The word every test locks with.
constexpr uint32_t kWord = 0xA1B2C3D4u;
/// errno of the fake host's injected failures.
constexpr uint32_t kHostIo = 0x3E0005;

/// Plain content of n bytes.
Bytes Plain(size_t n) {
  Bytes b(n);
  for (size_t i = 0; i < n; ++i) {
    b[i] = static_cast<uint8_t>(i * 13 + 5);
  }
  return b;
}

/// The locked form: first four bytes XOR-ed with the word, byte 0 with its low byte.
Bytes Locked(Bytes b, uint32_t word = kWord) {
  for (size_t i = 0; i < 4 && i < b.size(); ++i) {
    b[i] = static_cast<uint8_t>(b[i] ^ (word >> (8 * i)));
  }
  return b;
}

Bytes Head(const Bytes& b) { return Bytes(b.begin(), b.begin() + 4); }

Bytes Request(uint32_t id, const char* name, uint32_t word, size_t nameBytes = 13) {
  Bytes m(21, 0);
  for (int i = 0; i < 4; ++i) {
    m[i] = static_cast<uint8_t>(id >> (8 * i));
    m[17 + i] = static_cast<uint8_t>(word >> (8 * i));
  }
  std::memcpy(m.data() + 4, name, std::min(std::strlen(name), nameBytes));
  return m;
}

Bytes Response(uint32_t id, int32_t result) {
  Bytes m(8);
  for (int i = 0; i < 4; ++i) {
    m[i] = static_cast<uint8_t>(id >> (8 * i));
    m[4 + i] = static_cast<uint8_t>(static_cast<uint32_t>(result) >> (8 * i));
  }
  return m;
}

/// The file layer's own events of a failed host call.
const Event kOpenEvt{2, 0x62008A02u, 0, 3};
const Event kReadEvt{2, 0x62008A03u, 0, 4};
const Event kCloseEvt{2, 0x62008A01u, 0, 3};
const Event kSizeEvt{2, 0x62008A04u, 0, 2};
const Event kWriteEvt{2, 0x62008A05u, 0, 2};

Event UnlockEvent(uint16_t reason, uint32_t info1) { return Event{2, HNFunl_kEvtUnlock, reason, info1}; }

class FwUnlock : public FwFixture {
 public:
  void SetUp() override {
    FwFixture::SetUp();
    HNFunl_gResetTimer = HNFunl_ResetTimer{};
  }
  /// Puts a locked file (stored under its lower-case name, as the host keeps it) and its companion.
  void Download(const std::string& lowerName, const Bytes& plain) {
    host.files[lowerName] = Locked(plain);
    host.files[lowerName + ".swp"] = Head(plain);
  }
  void SetCounter(uint64_t usec) { host.counter = usec; }
};

TEST_F(FwUnlock, EachFileUnlocksWhateverTheCaseOfItsName) {
  const struct {
    const char* stored;
    const char* asked;
  } cases[] = {
      {"kel_para.saf", "kel_para.saf"}, {"kel_para.saf", "KEL_PARA.SAF"}, {"kel_para.saf", "Kel_Para.sAF"},
      {"@@temp.szp", "@@temp.szp"},     {"@@temp.szp", "@@TEMP.SZP"},     {"@@temp.szp", "@@Temp.Szp"},
      {"autocnf.bin", "autocnf.bin"},   {"autocnf.bin", "AUTOCNF.BIN"},   {"autocnf.bin", "AutoCnf.Bin"},
      {"pardata1.bin", "pardata1.bin"}, {"pardata1.bin", "PARDATA1.BIN"}, {"pardata1.bin", "parDATA1.bin"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.asked);
    host.Install();
    const Bytes plain = Plain(100);
    Download(c.stored, plain);
    // The older release knows no "pardata1.bin": refused as an unknown name, both files kept.
    const bool known = !SCM_kLegacy || std::string(c.stored) != "pardata1.bin";
    EXPECT_EQ(EPS_UnlockFile(c.asked, kWord), known ? 0 : -1);
    EXPECT_EQ(host.files[c.stored], known ? plain : Locked(plain));
    EXPECT_EQ(host.files[std::string(c.stored) + ".swp"], known ? Bytes{} : Head(plain));
    EXPECT_EQ(host.openHandles, 0);
    EXPECT_EQ(TakeEvents(), known ? std::vector<Event>{} : std::vector<Event>{UnlockEvent(0, 1)});
  }
}

TEST_F(FwUnlock, AnUnknownNameIsRefusedWithReasonZero) {
  Download("corvane.dat", Plain(20));
  EXPECT_EQ(EPS_UnlockFile("corvane.dat", kWord), -1);
  EXPECT_EQ(TakeEvents(), std::vector<Event>{UnlockEvent(0, 1)});
  EXPECT_EQ(host.files["corvane.dat"], Locked(Plain(20)));
  EXPECT_TRUE(host.calls.empty());
}

TEST_F(FwUnlock, ThirteenNameBytesWithoutNulNameNoFile) {
  Download("kel_para.saf", Plain(20));
  PutComplemented("unlock-request", Request(9, "kel_para.safX", kWord));
  HNFcyc_HandleUnlockRequest();
  EXPECT_EQ(TakePlain("unlock-response"), std::vector<Bytes>{Response(9, -1)});
  EXPECT_EQ(TakeEvents(), std::vector<Event>{UnlockEvent(0, 1)});
  EXPECT_EQ(host.files["kel_para.saf"], Locked(Plain(20)));
}

TEST_F(FwUnlock, SizesAtTheLimits) {
  const struct {
    size_t size;
    bool unlocked;
  } cases[] = {{0, false}, {3, false}, {4, true}, {HNFunl_kBufferSize, true}, {HNFunl_kBufferSize + 1, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.size);
    host.Install();
    const Bytes plain = Plain(c.size);
    host.files["kel_para.saf"] = Locked(plain);
    host.files["kel_para.saf.swp"] = Head(Plain(4));
    EXPECT_EQ(EPS_UnlockFile("kel_para.saf", kWord), c.unlocked ? 0 : -1);
    if (c.unlocked) {
      EXPECT_EQ(host.files["kel_para.saf"], plain);
      EXPECT_EQ(host.files["kel_para.saf.swp"], Bytes{});
      EXPECT_EQ(TakeEvents(), std::vector<Event>{});
    } else {
      // Nothing is written: the file stays as it is and no write open happens.
      EXPECT_EQ(host.files["kel_para.saf"], Locked(plain));
      EXPECT_EQ(host.files["kel_para.saf.swp"], Head(Plain(4)));
      EXPECT_EQ(TakeEvents(), std::vector<Event>{UnlockEvent(7, static_cast<uint32_t>(c.size))});
      EXPECT_EQ(std::count(host.calls.begin(), host.calls.end(), SCM_SC_WRITE_STORAGE), 0);
    }
    EXPECT_EQ(host.openHandles, 0);
  }
}

TEST_F(FwUnlock, AMissingParDataReadsAsEmptyAndIsRefusedWithItsSize) {
  host.files["pardata1.bin.swp"] = Head(Plain(8));
  EXPECT_EQ(EPS_UnlockFile("PARDATA1.BIN", kWord), -1);
  // The older release knows no "pardata1.bin": an unknown name (reason 0, information1 1).
  EXPECT_EQ(TakeEvents(), std::vector<Event>{SCM_kLegacy ? UnlockEvent(0, 1) : UnlockEvent(7, 0)});
  EXPECT_EQ(host.Find("pardata1.bin"), nullptr);
  EXPECT_EQ(host.files["pardata1.bin.swp"], Head(Plain(8)));
  EXPECT_EQ(host.openHandles, 0);
}

TEST_F(FwUnlock, AWrongWordLeavesBothFilesLocked) {
  Download("kel_para.saf", Plain(64));
  EXPECT_EQ(EPS_UnlockFile("kel_para.saf", kWord ^ 0x100u), -1);
  EXPECT_EQ(TakeEvents(), std::vector<Event>{UnlockEvent(11, 0)});
  EXPECT_EQ(host.files["kel_para.saf"], Locked(Plain(64)));
  EXPECT_EQ(host.files["kel_para.saf.swp"], Head(Plain(64)));
  EXPECT_EQ(std::count(host.calls.begin(), host.calls.end(), SCM_SC_WRITE_STORAGE), 0);
  EXPECT_EQ(host.openHandles, 0);
}

/// What a file and its companion hold after an attempt.
enum class After { Locked, Unlocked, UnlockedCompanionKept };

TEST_F(FwUnlock, AFailureAtEveryHostCallReportsItsReasonAndKeepsOldOrNew) {
  // Calls in order: open companion 'r', read 4, close; open file 'r', size, read, close;
  // open file 'w', write, close; open companion 'w', close.
  const struct {
    const char* what;
    int call;
    int nth;
    int32_t result;
    std::vector<Event> events;
    After after;
  } cases[] = {
      {"companion open", SCM_SC_OPEN_STORAGE, 1, -1, {kOpenEvt, UnlockEvent(2, kHostIo)}, After::Locked},
      {"companion read", SCM_SC_READ_STORAGE, 1, -1, {kReadEvt, UnlockEvent(3, kHostIo)}, After::Locked},
      {"companion close", SCM_SC_CLOSE_STORAGE, 1, -1, {kCloseEvt, UnlockEvent(5, kHostIo)}, After::Locked},
      {"file open", SCM_SC_OPEN_STORAGE, 2, -1, {kOpenEvt, UnlockEvent(6, kHostIo)}, After::Locked},
      {"file size", SCM_SC_GET_STORAGE_LENGTH, 1, -1, {kSizeEvt, UnlockEvent(7, kHostIo)}, After::Locked},
      {"file read", SCM_SC_READ_STORAGE, 2, -1, {kReadEvt, UnlockEvent(8, kHostIo)}, After::Locked},
      {"file close", SCM_SC_CLOSE_STORAGE, 2, -1, {kCloseEvt, UnlockEvent(10, kHostIo)}, After::Locked},
      {"write open", SCM_SC_OPEN_STORAGE, 3, -1, {kOpenEvt, UnlockEvent(6, kHostIo)}, After::Locked},
      {"write", SCM_SC_WRITE_STORAGE, 1, -1, {kWriteEvt, UnlockEvent(9, kHostIo)}, After::Locked},
      {"write close", SCM_SC_CLOSE_STORAGE, 3, -1, {kCloseEvt, UnlockEvent(10, kHostIo)}, After::Locked},
      {"companion write open", SCM_SC_OPEN_STORAGE, 4, 0, {kOpenEvt, UnlockEvent(2, kHostIo)},
       After::UnlockedCompanionKept},
      {"companion write close", SCM_SC_CLOSE_STORAGE, 4, 0, {kCloseEvt, UnlockEvent(5, kHostIo)}, After::Unlocked},
  };
  const Bytes plain = Plain(300);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    host.Install();
    Download("kel_para.saf", plain);
    host.failNth[c.call] = c.nth;
    EXPECT_EQ(EPS_UnlockFile("kel_para.saf", kWord), c.result);
    EXPECT_EQ(TakeEvents(), c.events);
    EXPECT_EQ(host.files["kel_para.saf"], c.after == After::Locked ? Locked(plain) : plain);
    EXPECT_EQ(host.files["kel_para.saf.swp"], c.after == After::Unlocked ? Bytes{} : Head(plain));
    EXPECT_EQ(host.openHandles, 0);
  }
}

TEST_F(FwUnlock, AFailingCloseAfterAShortCompanionReadReportsTheFirstReason) {
  host.files["kel_para.saf"] = Locked(Plain(30));
  host.files["kel_para.saf.swp"] = Bytes{1, 2};
  host.failingCloses = {"KEL_PARA.SAF.SWP"};
  EXPECT_EQ(EPS_UnlockFile("kel_para.saf", kWord), -1);
  EXPECT_EQ(TakeEvents(), (std::vector<Event>{kCloseEvt, UnlockEvent(3, 0)}));
  EXPECT_EQ(host.openHandles, 0);
}

TEST_F(FwUnlock, AShortWriteIsUndoneByWritingTheLockedFileAgain) {
  const Bytes plain = Plain(500);
  Download("@@temp.szp", plain);
  host.faultyFile = "@@TEMP.SZP";
  host.shortWriteBy = 100;
  host.shortWrites = 1;
  EXPECT_EQ(EPS_UnlockFile("@@temp.szp", kWord), -1);
  EXPECT_EQ(TakeEvents(), std::vector<Event>{UnlockEvent(9, 0)});
  EXPECT_EQ(host.files["@@temp.szp"], Locked(plain));
  EXPECT_EQ(host.files["@@temp.szp.swp"], Head(plain));
  EXPECT_EQ(host.openHandles, 0);
  // File and companion stand as downloaded, so the next request unlocks them.
  EXPECT_EQ(EPS_UnlockFile("@@temp.szp", kWord), 0);
  EXPECT_EQ(host.files["@@temp.szp"], plain);
}

TEST_F(FwUnlock, AFailedRestoreRaisesReasonTwelveWithErrno) {
  Download("kel_para.saf", Plain(50));
  host.failNth[SCM_SC_WRITE_STORAGE] = 1;
  host.failNth[SCM_SC_OPEN_STORAGE] = 4;  // the restore's write open
  EXPECT_EQ(EPS_UnlockFile("kel_para.saf", kWord), -1);
  EXPECT_EQ(TakeEvents(), (std::vector<Event>{kWriteEvt, UnlockEvent(9, kHostIo), kOpenEvt, UnlockEvent(12, kHostIo)}));
  EXPECT_EQ(host.openHandles, 0);
}

TEST_F(FwUnlock, TheAnswerEchoesTheIdentifierAndTheResetFiresOnceAfterFiveSeconds) {
  Download("kel_para.saf", Plain(40));
  SetCounter(1000);
  PutComplemented("unlock-request", Request(0x01020304u, "KEL_PARA.SAF", kWord));
  HNFcyc_HandleUnlockRequest();
  EXPECT_EQ(TakePlain("unlock-response"), std::vector<Bytes>{Response(0x01020304u, 0)});
  EXPECT_EQ(host.files["kel_para.saf"], Plain(40));
  SetCounter(1000 + 4999999);
  HNFcyc_HandleUnlockRequest();
  EXPECT_EQ(host.resetCalls, 0);
  SetCounter(1000 + 5000000);
  HNFcyc_HandleUnlockRequest();
  EXPECT_EQ(host.resetCalls, 1);
  SetCounter(1000 + 9000000);
  HNFcyc_HandleUnlockRequest();
  EXPECT_EQ(host.resetCalls, 1);
  EXPECT_EQ(TakeEvents(), std::vector<Event>{});
}

TEST_F(FwUnlock, TheResetDelayIsMeasuredAcrossTheWrapOfTheCountersLowWord) {
  const uint64_t armed = 0x1FFFFFF00ull;
  SetCounter(armed);
  PutComplemented("unlock-request", Request(1, "kel_para.saf", kWord));
  HNFcyc_HandleUnlockRequest();
  EXPECT_EQ(HNFunl_gResetTimer.ulArmedUs, 0xFFFFFF00u);
  SetCounter(armed + 4999999);
  HNFcyc_HandleUnlockRequest();
  EXPECT_EQ(host.resetCalls, 0);
  SetCounter(armed + 5000000);
  HNFcyc_HandleUnlockRequest();
  EXPECT_EQ(host.resetCalls, 1);
}

TEST_F(FwUnlock, ASecondRequestIsServedAndDoesNotMoveTheReset) {
  Download("kel_para.saf", Plain(40));
  SetCounter(0);
  PutComplemented("unlock-request", Request(1, "kel_para.saf", kWord ^ 1u));
  HNFcyc_HandleUnlockRequest();
  SetCounter(3000000);
  PutComplemented("unlock-request", Request(2, "kel_para.saf", kWord));
  HNFcyc_HandleUnlockRequest();
  EXPECT_EQ(TakePlain("unlock-response"), (std::vector<Bytes>{Response(1, -1), Response(2, 0)}));
  SetCounter(5000000);
  HNFcyc_HandleUnlockRequest();
  EXPECT_EQ(host.resetCalls, 1);
}

TEST_F(FwUnlock, AShortRequestIsReportedUnansweredAndArmsNothing) {
  PutComplemented("unlock-request", Bytes(20, 0));
  HNFcyc_HandleUnlockRequest();
  EXPECT_EQ(TakeEvents(), (std::vector<Event>{{2, HNFunl_kEvtShortRequest, 1, 20}}));
  EXPECT_EQ(TakePlain("unlock-response"), std::vector<Bytes>{});
  EXPECT_EQ(HNFunl_gResetTimer.bArmed, 0);
  SetCounter(60000000);
  HNFcyc_HandleUnlockRequest();
  EXPECT_EQ(host.resetCalls, 0);
  // The buffer was released: the next request is served.
  Download("autocnf.bin", Plain(10));
  PutComplemented("unlock-request", Request(3, "autocnf.bin", kWord));
  HNFcyc_HandleUnlockRequest();
  EXPECT_EQ(TakePlain("unlock-response"), std::vector<Bytes>{Response(3, 0)});
}

TEST_F(FwUnlock, AFullResponseQueueLosesTheAnswerButNotTheNextOne) {
  Download("kel_para.saf", Plain(40));
  const std::string responses = ScmName("unlock-response");
  for (int i = 0; i < kCapacity; ++i) {
    ASSERT_EQ(ScmMemQueuePut(responses.c_str(), "12345678", 8), OK);
  }
  PutComplemented("unlock-request", Request(5, "kel_para.saf", kWord));
  HNFcyc_HandleUnlockRequest();
  EXPECT_EQ(host.files["kel_para.saf"], Plain(40));
  EXPECT_EQ(HNFcom_IsSendBufferOccupied(HNFcom_kChUnlockResponse), 0);
  EXPECT_EQ(TakeEvents(), std::vector<Event>{});
  ScmMemQueueClear(responses.c_str());
  PutComplemented("unlock-request", Request(6, "kel_para.saf", kWord));
  HNFcyc_HandleUnlockRequest();
  // Already unlocked: the companion is empty now, so the request is refused, and answered.
  EXPECT_EQ(TakePlain("unlock-response"), std::vector<Bytes>{Response(6, -1)});
  EXPECT_EQ(TakeEvents(), std::vector<Event>{UnlockEvent(3, 0)});
}

TEST_F(FwUnlock, AFailedResetIsReportedOnceAndNotRetried) {
  host.failing = {SCM_SC_RESET};
  PutComplemented("unlock-request", Request(1, "nothing", kWord));
  HNFcyc_HandleUnlockRequest();
  (void)TakeEvents();
  SetCounter(6000000);
  HNFcyc_HandleUnlockRequest();
  SetCounter(7000000);
  HNFcyc_HandleUnlockRequest();
  EXPECT_EQ(std::count(host.calls.begin(), host.calls.end(), SCM_SC_RESET), 1);
  EXPECT_EQ(TakeEvents(), (std::vector<Event>{{2, HNFcyc_kEvtResetFailed, 0, 2}}));
}

}  // namespace
}  // namespace FwTest
