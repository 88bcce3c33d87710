// The host calls as the programs make them: through the real wrappers and the
// host-call seam, against an in-process simulated host.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <functional>
#include <thread>

#include <unistd.h>

#include "HostTestSupport.h"
#include "HostUnlock.h"
#include "ScmSystemCalls.h"
#include "hostcall_protocol.h"

namespace hosttest {
namespace {

using namespace ScmHostCall;

constexpr uint16_t kOtherSdn = 6;

class HostCallsTest : public HostTest {
 protected:
  void Configure(ScmSim::HostConfig& config) override {
    config.counterStart = 0xFFFFFF00ull;
    config.productCode = 0x1234;
    config.serialNumber = 0x5678;
    config.resetActs = false;
    config.resetPlcActs = false;
  }
  /// Opens, checks, returns the handle.
  i32 Open(const char* name, char mode) {
    const i32 h = ScmOpenStorage(kSdn, name, mode);
    EXPECT_GE(h, 0) << name;
    return h;
  }
  std::vector<uint32_t> LoggedNumbers() const {
    std::vector<uint32_t> n;
    for (const ScmSim::CallRecord& r : host_->CallLog()) n.push_back(r.number);
    return n;
  }
};

/// One call with the result and errno it must give.
struct CallCase {
  const char* what;                     ///< description
  std::function<long(ScmSim::HostSim&)> call;  ///< sets up and makes the call
  long result;                          ///< expected result
  int err;                              ///< expected errno when the result is -1
};

TEST_F(HostCallsTest, TableOfCallsGivesResultsAndErrno) {
  static u8 buf[64];
  const CallCase cases[] = {
      {"product code", [](auto&) { return static_cast<long>(ScmGetCpuProductCode()); }, 0x1234, 0},
      {"serial number", [](auto&) { return static_cast<long>(ScmGetCpuSerialNumber()); }, 0x5678, 0},
      {"product code made to fail",
       [](auto& h) {
         h.SetProductCode(std::nullopt);
         return static_cast<long>(ScmGetCpuProductCode());
       },
       0, 0},
      {"serial made to fail",
       [](auto& h) {
         h.SetSerialNumber(std::nullopt);
         return static_cast<long>(ScmGetCpuSerialNumber());
       },
       0, 0},
      {"Qor UDID", [](auto&) { return static_cast<long>(ScmRequestQorUdid(kSdn, buf)); }, 0, 0},
      {"Qor UDID of another domain", [](auto&) { return static_cast<long>(ScmRequestQorUdid(kOtherSdn, buf)); },
       -1, SCM_HOST_ERRNO_WRONG_DOMAIN},
      {"open of another domain", [](auto&) { return static_cast<long>(ScmOpenStorage(kOtherSdn, "a.bin", 'w')); },
       -1, SCM_HOST_ERRNO_WRONG_DOMAIN},
      {"open of a missing file", [](auto&) { return static_cast<long>(ScmOpenStorage(kSdn, "missing.bin", 'r')); },
       -1, SCM_HOST_ERRNO_NOT_FOUND},
      {"open with mode x", [](auto&) { return static_cast<long>(ScmOpenStorage(kSdn, "a.bin", 'x')); }, -1,
       SCM_HOST_ERRNO_BAD_ARGUMENT},
      {"refused pardata1.bin is the pseudo handle",
       [](auto&) { return static_cast<long>(ScmOpenStorage(kSdn, "PARDATA1.bin", 'r')); }, 0xFAFE, 0},
      {"close of an unknown handle", [](auto&) { return static_cast<long>(ScmCloseStorage(77)); }, -1,
       SCM_HOST_ERRNO_BAD_HANDLE},
      {"length of an unknown handle", [](auto&) { return static_cast<long>(ScmGetStorageLength(77)); }, -1,
       SCM_HOST_ERRNO_BAD_HANDLE},
      {"channel 5", [](auto&) { return static_cast<long>(ScmOpenChannel(kSdn, 5, 200, 200)); }, -1,
       SCM_HOST_ERRNO_BAD_ARGUMENT},
      {"channel 6 of another domain", [](auto&) { return static_cast<long>(ScmOpenChannel(kOtherSdn, 6, 200, 200)); },
       -1, SCM_HOST_ERRNO_WRONG_DOMAIN},
      {"close of an unknown channel", [](auto&) { return static_cast<long>(ScmCloseChannel(9)); }, -1,
       SCM_HOST_ERRNO_BAD_HANDLE},
      {"lock", [](auto&) { return static_cast<long>(ScmLockReset(kSdn)); }, 0, 0},
      {"unlock without lock", [](auto&) { return static_cast<long>(ScmUnlockReset(kSdn)); }, 0, 0},
      {"lock of another domain", [](auto&) { return static_cast<long>(ScmLockReset(kOtherSdn)); }, -1,
       SCM_HOST_ERRNO_WRONG_DOMAIN},
      {"reset (recorded only here)", [](auto&) { return static_cast<long>(ScmReset(kSdn)); }, 0, 0},
      {"reset of another domain", [](auto&) { return static_cast<long>(ScmReset(kOtherSdn)); }, -1,
       SCM_HOST_ERRNO_WRONG_DOMAIN},
      {"controller reset passes 32", [](auto&) { return static_cast<long>(ScmResetPlc(32)); }, 0, 0},
      {"set condition 1", [](auto&) { return static_cast<long>(ScmSetCondition(kSdn, 1, 0x01020001)); }, 0, 0},
      {"set condition 3", [](auto&) { return static_cast<long>(ScmSetCondition(kSdn, 3, 1)); }, -1,
       SCM_HOST_ERRNO_BAD_ARGUMENT},
      {"wait for condition 3",
       [](auto&) {
         u32 v = 0;
         return static_cast<long>(ScmWaitForCondition(kSdn, 3, &v));
       },
       -1, SCM_HOST_ERRNO_BAD_ARGUMENT},
      {"wait for condition 0 of another domain",
       [](auto&) {
         u32 v = 0;
         return static_cast<long>(ScmWaitForCondition(kOtherSdn, 0, &v));
       },
       -1, SCM_HOST_ERRNO_WRONG_DOMAIN},
      {"fail-safe state",
       [](auto&) {
         u8 s = 0;
         return static_cast<long>(ScmGetQorFailSafeState(kSdn, &s));
       },
       0, 0},
      {"flash read while absent", [](auto&) { return static_cast<long>(ScmReadQorFlashFile(kSdn, 16, 0xFFFFFFFF, 18, buf)); },
       -1, SCM_HOST_ERRNO_UNAVAILABLE},
      {"flash write of 18 bytes", [](auto&) { return static_cast<long>(ScmWriteQorFlashFile(kSdn, 16, 0xFFFFFFFF, 18, buf)); },
       18, 0},
      {"flash write of 19 bytes", [](auto&) { return static_cast<long>(ScmWriteQorFlashFile(kSdn, 16, 0, 19, buf)); },
       -1, SCM_HOST_ERRNO_BAD_ARGUMENT},
      {"flash write at offset 0", [](auto&) { return static_cast<long>(ScmWriteQorFlashFile(kSdn, 16, 0, 4, buf)); },
       4, 0},
      {"flash read at offset 0 of more than stored",
       [](auto&) { return static_cast<long>(ScmReadQorFlashFile(kSdn, 16, 0, 18, buf)); }, 4, 0},
      {"flash read at offset 1", [](auto&) { return static_cast<long>(ScmReadQorFlashFile(kSdn, 16, 1, 4, buf)); }, -1,
       SCM_HOST_ERRNO_BAD_ARGUMENT},
      {"flash area 15", [](auto&) { return static_cast<long>(ScmReadQorFlashFile(kSdn, 15, 0, 4, buf)); }, -1,
       SCM_HOST_ERRNO_BAD_ARGUMENT},
      {"flash of another domain", [](auto&) { return static_cast<long>(ScmReadQorFlashFile(kOtherSdn, 16, 0, 4, buf)); },
       -1, SCM_HOST_ERRNO_WRONG_DOMAIN},
  };
  for (const CallCase& c : cases) {
    errno = 0;
    const long r = c.call(*host_);
    const int err = errno;
    EXPECT_EQ(r, c.result) << c.what;
    if (c.result == -1) {
      EXPECT_EQ(err, c.err) << c.what;
    }
  }
  EXPECT_EQ(host_->Condition(1), 0x01020001u);
  EXPECT_EQ(host_->Resets().domainRequests, 1u);
  EXPECT_EQ(host_->Resets().plcRequests, 1u);
  EXPECT_EQ(host_->Resets().done, 0u);
}

TEST_F(HostCallsTest, CounterStartsWhereConfiguredAndRunsOnAcrossTheWrap) {
  const u64 first = ScmGetUSecCounter();
  EXPECT_GE(first, 0xFFFFFF00ull);
  EXPECT_LT(first, 0xFFFFFF00ull + 60'000'000ull);
  host_->AdvanceCounter(0x200);
  const u64 second = ScmGetUSecCounter();
  EXPECT_GE(second, first + 0x200);
  EXPECT_GE(second >> 32, 1u) << "the high word carries past 2^32";
  host_->SetCounter(5);
  EXPECT_LT(ScmGetUSecCounter(), 60'000'000ull);
}

TEST_F(HostCallsTest, CounterFailureGivesZero) {
  host_->InjectFault(0x80, 1);
  EXPECT_EQ(ScmGetUSecCounter(), 0u);
  EXPECT_NE(ScmGetUSecCounter(), 0u);
}

TEST_F(HostCallsTest, CounterIsReadWithoutARoundTripWhileTheHostKeepsItsPage) {
  host_->ClearCallLog();
  u64 last = 0;
  for (int i = 0; i < 100; ++i) {
    const u64 now = ScmGetUSecCounter();
    EXPECT_GE(now, last);
    last = now;
  }
  EXPECT_GE(last, 0xFFFFFF00ull);
  EXPECT_LE(last, host_->Counter()) << "never ahead of the host's own counter";
  EXPECT_EQ(LoggedNumbers(), std::vector<uint32_t>{});
  // An armed fault sends the call to the host, which serves the failure once.
  host_->InjectFault(0x80, 1);
  EXPECT_EQ(ScmGetUSecCounter(), 0u);
  EXPECT_GE(ScmGetUSecCounter(), last);
  EXPECT_EQ(LoggedNumbers(), std::vector<uint32_t>{0x80});
}

TEST_F(HostCallsTest, AStoppedHostsPageGivesNoCounter) {
  ASSERT_NE(ScmGetUSecCounter(), 0u);
  host_->Stop();
  EXPECT_FALSE(std::filesystem::exists(config_.socketPath + ".clock"));
  EXPECT_EQ(ScmGetUSecCounter(), 0u) << "no stale value from the gone host";
}

TEST_F(HostCallsTest, QorUdidAndFailSafeStateChangeAtRunTime) {
  u8 udid[6] = {};
  ASSERT_EQ(ScmRequestQorUdid(kSdn, udid), 0);
  EXPECT_EQ(udid[0], 0x02);
  EXPECT_EQ(udid[1], 0x5C);
  EXPECT_EQ(udid[2], 0x3E);
  EXPECT_TRUE(std::any_of(udid + 3, udid + 6, [](u8 b) { return b != 0; }));
  host_->SetQorUdid({0, 0, 0, 0, 0, 0});
  ASSERT_EQ(ScmRequestQorUdid(kSdn, udid), 0);
  EXPECT_TRUE(std::all_of(udid, udid + 6, [](u8 b) { return b == 0; }));
  host_->SetQorUdid({0x02, 0x5C, 0x3E, 0xFF, 0xFF, 0xFF});
  ASSERT_EQ(ScmRequestQorUdid(kSdn, udid), 0);
  EXPECT_EQ(udid[5], 0xFF);

  for (const u8 state : {u8{0}, u8{0xFF}, u8{7}}) {
    host_->SetQorFailSafeState(state);
    u8 got = 0x55;
    ASSERT_EQ(ScmGetQorFailSafeState(kSdn, &got), 0);
    EXPECT_EQ(got, state);
  }
}

TEST_F(HostCallsTest, FlashContentIsReadAndReplaced) {
  ASSERT_TRUE(host_->SetFlash(Bytes{1, 2, 3, 4, 5, 6}));
  u8 buf[18] = {};
  EXPECT_EQ(ScmReadQorFlashFile(kSdn, 16, 0xFFFFFFFF, 3, buf), 3);
  EXPECT_EQ(Bytes(buf, buf + 3), (Bytes{1, 2, 3}));
  const u8 fresh[2] = {9, 8};
  EXPECT_EQ(ScmWriteQorFlashFile(kSdn, 16, 0xFFFFFFFF, 2, fresh), 2);
  EXPECT_EQ(host_->Flash(), (Bytes{9, 8}));
  EXPECT_FALSE(host_->SetFlash(Bytes(19, 0)));
  ASSERT_TRUE(host_->SetFlash(std::nullopt));
  EXPECT_EQ(ScmReadQorFlashFile(kSdn, 16, 0, 18, buf), -1);
}

// ---------------------------------------------------------------- the seam

TEST_F(HostCallsTest, SeamRefusesUnsendableCallsWithoutSendingAnything) {
  const std::string longName(256, 'a');
  const std::string longestName(255, 'b');
  host_->ClearCallLog();
  errno = 0;
  EXPECT_EQ(ScmOpenStorage(kSdn, longName.c_str(), 'w'), -1);
  EXPECT_EQ(errno, SCM_ERRNO_HOST_CALL);
  errno = 0;
  EXPECT_EQ(rtpSyscall(0, 0, 0, 0, 0, 0, 0, 0, 0x96), -1);
  EXPECT_EQ(errno, SCM_ERRNO_HOST_CALL);
  EXPECT_EQ(rtpSyscall(0, 0, 0, 0, 0, 0, 0, 0, 0x7F), -1);
  EXPECT_TRUE(host_->CallLog().empty()) << "nothing reached the host";
  EXPECT_GE(ScmOpenStorage(kSdn, longestName.c_str(), 'w'), 0) << "255 characters are still sent";
  EXPECT_EQ(host_->CallLog().size(), 1u);
}

TEST_F(HostCallsTest, SeamFailsWhenTheHostIsUnreachable) {
  const std::string saved = getenv("SCM_SIM_HOST_SOCKET");
  setenv("SCM_SIM_HOST_SOCKET", (dir_ + "/nobody.sock").c_str(), 1);
  errno = 0;
  EXPECT_EQ(ScmLockReset(kSdn), -1);
  EXPECT_EQ(errno, SCM_ERRNO_HOST_CALL);
  unsetenv("SCM_SIM_HOST_SOCKET");
  EXPECT_EQ(ScmLockReset(kSdn), -1);
  setenv("SCM_SIM_HOST_SOCKET", saved.c_str(), 1);
  EXPECT_EQ(ScmLockReset(kSdn), 0) << "the next call reconnects";
}

TEST_F(HostCallsTest, SeamCopiesNoMoreThanTheCallerAllowed) {
  ASSERT_TRUE(host_->PutFile("big.bin", Bytes(40, 0x11)));
  const i32 h = Open("big.bin", 'r');
  u8 buf[16];
  std::memset(buf, 0xEE, sizeof(buf));
  EXPECT_EQ(ScmReadStorage(h, 8, buf), 8);
  EXPECT_TRUE(std::all_of(buf, buf + 8, [](u8 b) { return b == 0x11; }));
  EXPECT_TRUE(std::all_of(buf + 8, buf + 16, [](u8 b) { return b == 0xEE; })) << "guard bytes untouched";
  EXPECT_EQ(ScmReadStorage(h, 0, buf), 0);
  EXPECT_EQ(ScmCloseStorage(h), 0);
}

TEST_F(HostCallsTest, EachThreadHasItsOwnConnection) {
  // a thread blocked in a condition wait does not hold up another thread's calls
  u32 value = 0;
  std::thread waiter([&value] { ScmWaitForCondition(kSdn, 2, &value); });
  ASSERT_TRUE(Eventually([&] { return host_->BlockedWaits() == 1; }));
  EXPECT_EQ(ScmSetCondition(kSdn, 2, 77), 0);
  waiter.join();
  EXPECT_EQ(value, 77u);
}

// ---------------------------------------------------------------- storage

TEST_F(HostCallsTest, NamesAreFoldedToLowerCase) {
  ASSERT_TRUE(host_->PutFile("Kel_Para.SAF", Bytes{1, 2, 3}));
  EXPECT_TRUE(std::filesystem::exists(config_.storageDir + "/kel_para.saf"));
  const i32 r = Open("KEL_PARA.SAF", 'r');
  EXPECT_EQ(ScmGetStorageLength(r), 3);
  EXPECT_EQ(ScmCloseStorage(r), 0);

  const i32 w = Open("CorVane.DAT", 'w');
  const u8 data[2] = {7, 7};
  EXPECT_EQ(ScmWriteStorage(w, 2, data), 2);
  EXPECT_EQ(ScmCloseStorage(w), 0);
  EXPECT_TRUE(std::filesystem::exists(config_.storageDir + "/corvane.dat"));
  EXPECT_EQ(host_->GetFile("CORVANE.dat"), (Bytes{7, 7}));
}

TEST_F(HostCallsTest, PathEscapesAndEmptyNamesAreRefused) {
  for (const char* name : {"", "..", "../escape.bin", "a/b", "/etc/passwd", "x..y", "..\\up"}) {
    errno = 0;
    EXPECT_EQ(ScmOpenStorage(kSdn, name, 'w'), -1) << name;
    EXPECT_EQ(errno, SCM_HOST_ERRNO_BAD_NAME) << name;
    EXPECT_FALSE(host_->PutFile(name, Bytes{1})) << name;
  }
  EXPECT_FALSE(std::filesystem::exists(dir_ + "/escape.bin"));
}

TEST_F(HostCallsTest, ReadsAreSequentialAndHandlesKeepTheirDirection) {
  ASSERT_TRUE(host_->PutFile("seq.bin", Bytes{1, 2, 3, 4, 5}));
  const i32 r = Open("seq.bin", 'r');
  const i32 w = Open("other.bin", 'w');
  EXPECT_NE(r, w);
  EXPECT_NE(r, 0xFAFE);
  u8 buf[8] = {};
  EXPECT_EQ(ScmReadStorage(r, 2, buf), 2);
  EXPECT_EQ(ScmReadStorage(r, 8, buf + 2), 3);
  EXPECT_EQ(Bytes(buf, buf + 5), (Bytes{1, 2, 3, 4, 5}));
  EXPECT_EQ(ScmReadStorage(r, 8, buf), 0) << "nothing left";
  errno = 0;
  EXPECT_EQ(ScmWriteStorage(r, 1, buf), -1);
  EXPECT_EQ(errno, SCM_HOST_ERRNO_BAD_HANDLE);
  errno = 0;
  EXPECT_EQ(ScmReadStorage(w, 1, buf), -1);
  EXPECT_EQ(errno, SCM_HOST_ERRNO_BAD_HANDLE);
  EXPECT_EQ(ScmWriteStorage(w, 2, buf), 2);
  EXPECT_EQ(ScmWriteStorage(w, 3, buf + 2), 3) << "writes append";
  EXPECT_EQ(ScmGetStorageLength(w), 5);
  EXPECT_EQ(ScmCloseStorage(r), 0);
  EXPECT_EQ(ScmCloseStorage(w), 0);
  EXPECT_EQ(ScmCloseStorage(r), -1) << "a closed handle";
  EXPECT_EQ(ScmGetStorageLength(r), -1);
  EXPECT_EQ(host_->GetFile("other.bin"), (Bytes{1, 2, 3, 4, 5}));
}

TEST_F(HostCallsTest, UnclosedWriterLeavesTheOldContent) {
  ASSERT_TRUE(host_->PutFile("corvane.dat", Bytes{1, 1, 1}));
  const i32 w = Open("corvane.dat", 'w');
  const u8 fresh[4] = {2, 2, 2, 2};
  ASSERT_EQ(ScmWriteStorage(w, 4, fresh), 4);
  EXPECT_EQ(host_->GetFile("corvane.dat"), (Bytes{1, 1, 1})) << "not replaced before the close";
  const i32 r = Open("corvane.dat", 'r');
  EXPECT_EQ(ScmGetStorageLength(r), 3) << "readers see the old content meanwhile";
  EXPECT_EQ(ScmCloseStorage(r), 0);

  Child killed([](Child& self) {
    const i32 h = ScmOpenStorage(kSdn, "corvane.dat", 'w');
    const u8 partial[1] = {9};
    ScmWriteStorage(h, 1, partial);
    self.Tell(static_cast<uint32_t>(h));
    pause();
    return 0;
  });
  ASSERT_TRUE(killed.Hear().has_value());
  killed.Kill();
  EXPECT_EQ(host_->GetFile("corvane.dat"), (Bytes{1, 1, 1})) << "a killed writer changes nothing";

  EXPECT_EQ(ScmCloseStorage(w), 0);
  EXPECT_EQ(host_->GetFile("corvane.dat"), (Bytes{2, 2, 2, 2}));
}

TEST_F(HostCallsTest, BusyStorageRefusesOpensWithTheBusyErrno) {
  ASSERT_TRUE(host_->PutFile("kel_para.saf", Bytes{1}));
  host_->SetStorageBusyOpens(2);
  for (const char* name : {"kel_para.saf", "pardata1.bin"}) {
    errno = 0;
    EXPECT_EQ(ScmOpenStorage(kSdn, name, 'r'), -1) << name << ": busy is no missing file";
    EXPECT_EQ(errno, SCM_STORAGE_BUSY_ERRNO) << name;
  }
  const i32 h = Open("kel_para.saf", 'r');
  EXPECT_EQ(ScmCloseStorage(h), 0);

  host_->SetStorageBusy(true);
  EXPECT_EQ(ScmOpenStorage(kSdn, "kel_para.saf", 'r'), -1);
  EXPECT_EQ(ScmOpenStorage(kSdn, "kel_para.saf", 'r'), -1);
  host_->SetStorageBusy(false);
  EXPECT_EQ(ScmCloseStorage(Open("kel_para.saf", 'r')), 0);

  host_->SetStorageBusyFor(std::chrono::milliseconds(200));
  errno = 0;
  EXPECT_EQ(ScmOpenStorage(kSdn, "kel_para.saf", 'r'), -1);
  EXPECT_EQ(errno, SCM_STORAGE_BUSY_ERRNO);
  EXPECT_TRUE(Eventually([] {
    const i32 r = ScmOpenStorage(kSdn, "kel_para.saf", 'r');
    if (r < 0) return false;
    ScmCloseStorage(r);
    return true;
  }));
}

TEST_F(HostCallsTest, InjectedStorageFaultsHitTheNextCalls) {
  ASSERT_TRUE(host_->PutFile("f.bin", Bytes(10, 4)));
  host_->InjectFault(0x84, 1);
  errno = 0;
  EXPECT_EQ(ScmOpenStorage(kSdn, "f.bin", 'r'), -1);
  EXPECT_EQ(errno, SCM_HOST_ERRNO_INJECTED);
  const i32 r = Open("f.bin", 'r');
  host_->InjectFault(0x86, 1);
  EXPECT_EQ(ScmGetStorageLength(r), -1);
  EXPECT_EQ(ScmGetStorageLength(r), 10);
  host_->InjectShortTransfer(0x87, 1, 3);
  u8 buf[10];
  EXPECT_EQ(ScmReadStorage(r, 10, buf), 3);
  EXPECT_EQ(ScmReadStorage(r, 10, buf), 7);
  host_->InjectFault(0x85, -1);
  EXPECT_EQ(ScmCloseStorage(r), -1);
  EXPECT_EQ(ScmCloseStorage(r), -1);
  host_->InjectFault(0x85, 0);
  EXPECT_EQ(ScmCloseStorage(r), 0);

  const i32 w = Open("g.bin", 'w');
  host_->InjectShortTransfer(0x88, 1, 2);
  EXPECT_EQ(ScmWriteStorage(w, 5, buf), 2);
  EXPECT_EQ(ScmCloseStorage(w), 0);
  EXPECT_EQ(host_->GetFile("g.bin")->size(), 2u);
}

TEST_F(HostCallsTest, AFaultForAnotherProcessLeavesTheCallsServedAndStaysArmed) {
  ASSERT_TRUE(host_->PutFile("f.bin", Bytes(4, 1)));
  host_->InjectFault(0x84, 1, ::getpid() + 1);
  ScmCloseStorage(Open("f.bin", 'r'));
  host_->InjectFault(0x84, 1, ::getpid());
  errno = 0;
  EXPECT_EQ(ScmOpenStorage(kSdn, "f.bin", 'r'), -1);
  EXPECT_EQ(errno, SCM_HOST_ERRNO_INJECTED);
  ScmCloseStorage(Open("f.bin", 'r'));
}

TEST_F(HostCallsTest, AFlashWriteCutShortKeepsTheOldContent) {
  const Bytes old(18, 7);
  ASSERT_TRUE(host_->SetFlash(old));
  const Bytes fresh(18, 9);
  host_->InjectShortTransfer(0x95, 1, 17);
  EXPECT_EQ(ScmWriteQorFlashFile(kSdn, 16, 0xFFFFFFFF, 18, fresh.data()), 17);
  EXPECT_EQ(host_->Flash(), old);
  EXPECT_EQ(ScmWriteQorFlashFile(kSdn, 16, 0xFFFFFFFF, 18, fresh.data()), 18);
  EXPECT_EQ(host_->Flash(), fresh);
}

TEST_F(HostCallsTest, AWriteCutByAPowerCutLeavesTheOldFileAndResetsDespiteTheLock) {
  ASSERT_TRUE(host_->PutFile("f.bin", Bytes{1, 1, 1}));
  ASSERT_EQ(ScmLockReset(kSdn), 0);
  const i32 w = Open("f.bin", 'w');
  const u8 fresh[6] = {9, 9, 9, 9, 9, 9};
  host_->InjectCut(0x88, 2, ::getpid());
  EXPECT_EQ(ScmWriteStorage(w, 6, fresh), -1) << "no answer before the reset";
  EXPECT_EQ(host_->Resets().cuts, 1u);
  EXPECT_EQ(host_->Resets().done, 1u) << "the reset hold did not delay it";
  EXPECT_EQ(host_->Resets().domainRequests, 0u);
  EXPECT_EQ(host_->GetFile("f.bin"), (Bytes{1, 1, 1})) << "the two bytes written never reached the file";
  EXPECT_EQ(ScmCloseStorage(w), -1) << "the handle went with the reset";
}

// ---------------------------------------------------------------- Qor variable channel

class QorChannelTest : public HostCallsTest {
 protected:
  void SetUp() override {
    HostCallsTest::SetUp();
    handle_ = ScmOpenChannel(kSdn, 6, 200, 200);
    ASSERT_GE(handle_, 0);
  }
  /// Sends a request and receives what comes back at once.
  Bytes Exchange(const Bytes& request, u32 max = 200) {
    EXPECT_EQ(ScmSendChannel(handle_, static_cast<u32>(request.size()), request.data()),
              static_cast<i32>(request.size()));
    return Receive(max);
  }
  Bytes Receive(u32 max = 200) {
    u8 buf[256];
    const i32 n = ScmReceiveChannel(handle_, max, buf);
    EXPECT_GE(n, 0);
    return Bytes(buf, buf + std::max(n, 0));
  }
  i32 handle_ = -1;  ///< the open channel
};

TEST_F(QorChannelTest, RequestsGetTheirReplies) {
  const Bytes password(16, 0x5A);
  Bytes write{0x21, 16};
  write.insert(write.end(), password.begin(), password.end());
  struct Case {
    const char* what;  ///< description
    Bytes request;     ///< sent
    Bytes reply;       ///< expected
  };
  Bytes readBack{0x81, 16};
  readBack.insert(readBack.end(), password.begin(), password.end());
  const Case cases[] = {
      {"write of variable 1", write, {0xA1, 0}},
      {"read of variable 1", {0x01}, readBack},
      {"read of a never-written variable", {0x02}, {0x82, 0}},
      {"empty write of variable 7", {0x27, 0}, {0xA7, 0}},
      {"read of the empty variable 7", {0x07}, {0x87, 0}},
      {"write whose length disagrees", {0x23, 3, 1, 2}, {0xE3, 0}},
      {"read with trailing bytes", {0x01, 0}, {0xC1, 0}},
      {"error flag set", {0x44}, {0xC4, 0}},
      {"direction flag set", {0x84}, {0xC4, 0}},
      {"empty request", {}, {0xC0, 0}},
  };
  for (const Case& c : cases) EXPECT_EQ(Exchange(c.request), c.reply) << c.what;
  EXPECT_EQ(host_->QorVariable(1), password);
  EXPECT_EQ(host_->QorVariable(2), std::nullopt);
  EXPECT_EQ(host_->QorVariable(6), std::nullopt) << "a refused write stores nothing";
}

TEST_F(QorChannelTest, ReceiveTruncatesWaitsAndCloseDiscards) {
  EXPECT_EQ(Receive(), Bytes{}) << "nothing waiting gives 0";
  Bytes write{0x23, 24};
  write.resize(26, 0x33);
  EXPECT_EQ(Exchange(write), (Bytes{0xA3, 0}));
  EXPECT_EQ(Exchange({0x03}, 3), (Bytes{0x83, 24, 0x33})) << "truncated to max";
  EXPECT_EQ(Receive(), Bytes{}) << "the rest of a truncated reply is gone";

  Bytes tooLong(201, 0);
  EXPECT_EQ(ScmSendChannel(handle_, 201, tooLong.data()), -1);
  const u8 probe = 0x01;
  ASSERT_EQ(ScmSendChannel(handle_, 1, &probe), 1);
  ASSERT_EQ(ScmCloseChannel(handle_), 0);
  EXPECT_EQ(ScmReceiveChannel(handle_, 10, tooLong.data()), -1) << "closed handle";
  handle_ = ScmOpenChannel(kSdn, 6, 200, 200);
  EXPECT_EQ(Receive(), Bytes{}) << "the pending reply went with the close";
}

TEST_F(QorChannelTest, ScriptedRepliesReplaceTheNormalOnes) {
  using Kind = ScmSim::QorReplyScript::Kind;
  host_->ScriptQorReply({Kind::Raw, {0x81, 0x00}, {}});
  host_->ScriptQorReply({Kind::None, {}, {}});
  host_->ScriptQorReply({Kind::Normal, {}, std::chrono::milliseconds(100)});
  host_->ScriptQorReply({Kind::Raw, {1, 2, 3}, {}});
  const Bytes write{0x25, 2, 0x04, 0x01};
  EXPECT_EQ(Exchange(write), (Bytes{0x81, 0x00})) << "raw reply";
  EXPECT_EQ(host_->QorVariable(5), std::nullopt) << "a scripted reply does not carry out the request";
  EXPECT_EQ(Exchange(write), Bytes{}) << "no reply";
  EXPECT_EQ(Receive(), Bytes{});
  EXPECT_EQ(Exchange(write), Bytes{}) << "the delayed reply is not there yet";
  Bytes late;
  EXPECT_TRUE(Eventually([&] {
    late = Receive();
    return !late.empty();
  }));
  EXPECT_EQ(late, (Bytes{0xA5, 0}));
  EXPECT_EQ(host_->QorVariable(5), (Bytes{0x04, 0x01}));
  EXPECT_EQ(Exchange(write), (Bytes{1, 2, 3}));
  EXPECT_EQ(Exchange(write), (Bytes{0xA5, 0})) << "the script is used up";
}

// ---------------------------------------------------------------- call log

TEST_F(HostCallsTest, CallLogRecordsEveryCallDecoded) {
  host_->ClearCallLog();
  const i32 h = Open("Log.Bin", 'w');
  const u8 data[3] = {0xAB, 0xCD, 0xEF};
  ScmWriteStorage(h, 3, data);
  ScmOpenStorage(kOtherSdn, "x", 'r');
  const std::vector<ScmSim::CallRecord> log = host_->CallLog();
  ASSERT_EQ(log.size(), 3u);
  EXPECT_EQ(log[0].number, 0x84u);
  EXPECT_EQ(log[0].pid, getpid());
  EXPECT_EQ(log[0].inString, "Log.Bin");
  EXPECT_EQ(log[0].values[0], kSdn);
  EXPECT_EQ(log[0].values[2], static_cast<u32>('w'));
  EXPECT_EQ(log[0].text, "ScmOpenStorage(5, \"Log.Bin\", 'w', &out)");
  EXPECT_EQ(log[0].result, h);
  EXPECT_EQ(log[1].number, 0x88u);
  EXPECT_EQ(log[1].inBytes, (Bytes{0xAB, 0xCD, 0xEF}));
  EXPECT_NE(log[1].text.find("[abcdef]"), std::string::npos) << log[1].text;
  EXPECT_EQ(log[1].result, 3);
  EXPECT_EQ(log[2].result, -1);
  EXPECT_EQ(log[2].err, SCM_HOST_ERRNO_WRONG_DOMAIN);
  EXPECT_LT(log[0].seq, log[1].seq);
  host_->ClearCallLog();
  EXPECT_TRUE(host_->CallLog().empty());
}

// ---------------------------------------------------------------- downloads and damaged writes

TEST_F(HostCallsTest, ADamagedWriteIsCommittedOrDiscardedAtTheCloseAsConfigured) {
  const u8 fresh[6] = {9, 9, 9, 9, 9, 9};
  const struct {
    const char* what;
    bool commit;
    bool shortWrite;  ///< else the write is refused
    int closeResult;
    Bytes after;
  } cases[] = {
      {"short, commit", true, true, 0, Bytes{9, 9}},
      {"refused, commit", true, false, 0, Bytes{}},
      {"short, discard", false, true, -1, Bytes{1, 1, 1}},
      {"refused, discard", false, false, -1, Bytes{1, 1, 1}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(host_->PutFile("kel_para.saf", Bytes{1, 1, 1}));
    host_->SetCommitDamagedWrites(c.commit);
    const i32 w = Open("KEL_PARA.SAF", 'w');
    if (c.shortWrite) {
      host_->InjectShortTransfer(0x88, 1, 2);
      EXPECT_EQ(ScmWriteStorage(w, 6, fresh), 2);
    } else {
      host_->InjectFault(0x88, 1);
      EXPECT_EQ(ScmWriteStorage(w, 6, fresh), -1);
    }
    EXPECT_EQ(ScmCloseStorage(w), c.closeResult);
    EXPECT_EQ(host_->GetFile("kel_para.saf"), c.after);
    // A whole write afterwards is committed under both behaviours.
    const i32 again = Open("kel_para.saf", 'w');
    EXPECT_EQ(ScmWriteStorage(again, 6, fresh), 6);
    EXPECT_EQ(ScmCloseStorage(again), 0);
    EXPECT_EQ(host_->GetFile("kel_para.saf"), Bytes(fresh, fresh + 6));
  }
}

TEST_F(HostCallsTest, ADownloadPutsTheLockedFileAndItsCompanionUnderTheSwpNames) {
  const Bytes plain{0x10, 0x20, 0x30, 0x40, 0x50};
  for (const char* name : {"kel_para.saf", "@@temp.szp", "AUTOCNF.BIN", "pardata1.bin"}) {
    SCOPED_TRACE(name);
    ASSERT_TRUE(host_->Download(name, plain, 0x04030201u));
    EXPECT_EQ(host_->GetFile(name), (Bytes{0x11, 0x22, 0x33, 0x44, 0x50}));
    EXPECT_EQ(host_->GetFile(std::string(name) + ".swp"), (Bytes{0x10, 0x20, 0x30, 0x40}));
    // Through the host calls as the firmware reads and empties them.
    const i32 r = Open((std::string(name) + ".SWP").c_str(), 'r');
    EXPECT_EQ(ScmGetStorageLength(r), 4);
    EXPECT_EQ(ScmCloseStorage(r), 0);
    EXPECT_EQ(ScmCloseStorage(Open((std::string(name) + ".swp").c_str(), 'w')), 0);
    EXPECT_EQ(host_->GetFile(std::string(name) + ".swp"), Bytes{});
  }
  EXPECT_FALSE(host_->Download("kel_para.saf", Bytes{1, 2, 3}, 1)) << "nothing to lock";
}

TEST_F(HostCallsTest, UnlockMessagesAreLittleEndianWithThirteenNameBytes) {
  EXPECT_EQ(ScmSim::UnlockRequestMessage(0x01020304u, "@@temp.szp", 0xA0B0C0D0u),
            (Bytes{4, 3, 2, 1, '@', '@', 't', 'e', 'm', 'p', '.', 's', 'z', 'p', 0, 0, 0, 0xD0, 0xC0, 0xB0, 0xA0}));
  EXPECT_EQ(ScmSim::UnlockRequestMessage(1, "kel_para.safX", 0)->at(16), 'X') << "13 bytes, no NUL";
  EXPECT_EQ(ScmSim::UnlockRequestMessage(1, "kel_para.safXY", 0), std::nullopt);
  EXPECT_EQ(ScmSim::DecodeUnlockResponse(Bytes{7, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF}),
            (ScmSim::UnlockResponse{7, -1}));
  EXPECT_EQ(ScmSim::DecodeUnlockResponse(Bytes(7, 0)), std::nullopt);
}

}  // namespace
}  // namespace hosttest
