// The host system-call wrappers against a recording seam: which words they
// pass, in which order, what they make of the host's answer.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "HostlibFakes.h"
#include "ScmProfile.h"
#include "ScmSystemCalls.h"

namespace {

using hostlibfake::calls;
using hostlibfake::SyscallRecord;
using Words = std::vector<_Vx_usr_arg_t>;

/// An SDN with its top bit set: sign extension would show in the word.
constexpr u16 kSdn = 0x8001;
/// A u32 argument with its top bit set, for the same reason.
constexpr u32 kHighValue = 0xFFFFFFF0u;
/// A handle the host might return.
constexpr i32 kHandle = 5;
/// Count the fake host reports through an out word.
constexpr u32 kOutValue = 7;

_Vx_usr_arg_t W(u64 value) {
  return static_cast<_Vx_usr_arg_t>(value);
}
_Vx_usr_arg_t A(const void* p) {
  return static_cast<_Vx_usr_arg_t>(reinterpret_cast<std::uintptr_t>(p));
}
u32* OutAt(const SyscallRecord& r, std::size_t index) {
  return reinterpret_cast<u32*>(static_cast<std::uintptr_t>(r.words[index]));
}

class SystemCallsTest : public ::testing::Test {
 protected:
  void SetUp() override { hostlibfake::Reset(); }
  void TearDown() override { hostlibfake::Reset(); }
};

/// Caller-owned buffers whose addresses must pass unchanged.
u8 gBuffer[64];
char gName[] = "kel_para.saf";

/// One wrapper: what it is called with and what must reach the host.
struct WrapperCase {
  const char* name;                        ///< wrapper
  int number;                              ///< expected call number
  std::function<i64()> invoke;             ///< calls the wrapper
  Words leading;                           ///< expected words from the caller's arguments
  std::optional<std::size_t> outIndex;     ///< index of the local out word, if any
  i64 success;                             ///< result when the host returns 0 and writes kOutValue
};

std::vector<WrapperCase> Cases() {
  const u64 sdn = kSdn;
  const u64 high = kHighValue;
  std::vector<WrapperCase> cases = {
      {"ScmGetCpuProductCode", 0x81, [] { return i64{ScmGetCpuProductCode()}; }, {}, 0, kOutValue},
      {"ScmGetCpuSerialNumber", 0x82, [] { return i64{ScmGetCpuSerialNumber()}; }, {}, 0, kOutValue},
      {"ScmRequestQorUdid", 0x83, [] { return i64{ScmRequestQorUdid(kSdn, gBuffer)}; }, {W(sdn), A(gBuffer)},
       std::nullopt, 0},
      {"ScmOpenStorage", 0x84, [] { return i64{ScmOpenStorage(kSdn, gName, 'w')}; }, {W(sdn), A(gName), W('w')}, 3,
       kOutValue},
      {"ScmCloseStorage", 0x85, [] { return i64{ScmCloseStorage(kHandle)}; }, {W(kHandle)}, std::nullopt, 0},
      {"ScmGetStorageLength", 0x86, [] { return i64{ScmGetStorageLength(kHandle)}; }, {W(kHandle)}, 1, kOutValue},
      {"ScmReadStorage", 0x87, [] { return i64{ScmReadStorage(kHandle, 40, gBuffer)}; },
       {W(kHandle), W(40), A(gBuffer)}, 3, kOutValue},
      {"ScmWriteStorage", 0x88, [] { return i64{ScmWriteStorage(kHandle, 41, gBuffer)}; },
       {W(kHandle), W(41), A(gBuffer)}, 3, kOutValue},
      {"ScmOpenChannel", 0x89, [] { return i64{ScmOpenChannel(kSdn, 6, 200, kHighValue)}; },
       {W(sdn), W(6), W(200), W(high)}, 4, kOutValue},
      {"ScmCloseChannel", 0x8A, [] { return i64{ScmCloseChannel(kHandle)}; }, {W(kHandle)}, std::nullopt, 0},
      {"ScmReceiveChannel", 0x8B, [] { return i64{ScmReceiveChannel(kHandle, 42, gBuffer)}; },
       {W(kHandle), W(42), A(gBuffer)}, 3, kOutValue},
      {"ScmSendChannel", 0x8C, [] { return i64{ScmSendChannel(kHandle, 43, gBuffer)}; },
       {W(kHandle), W(43), A(gBuffer)}, 3, kOutValue},
      {"ScmLockReset", 0x8D, [] { return i64{ScmLockReset(kSdn)}; }, {W(sdn)}, std::nullopt, 0},
      {"ScmUnlockReset", 0x8E, [] { return i64{ScmUnlockReset(kSdn)}; }, {W(sdn)}, std::nullopt, 0},
      {"ScmReset", 0x8F, [] { return i64{ScmReset(kSdn)}; }, {W(sdn)}, std::nullopt, 0},
      {"ScmWaitForCondition", 0x90,
       [] {
         u32 value = 0;
         return ScmWaitForCondition(kSdn, 2, &value) == 0 ? i64{value} : -1;
       },
       {W(sdn), W(2)}, 2, kOutValue},
      {"ScmSetCondition", 0x91, [] { return i64{ScmSetCondition(kSdn, 1, kHighValue)}; }, {W(sdn), W(1), W(high)},
       std::nullopt, 0},
      {"ScmGetQorFailSafeState", 0x92,
       [] {
         u8 state = 0xAA;
         return ScmGetQorFailSafeState(kSdn, &state) == 0 ? i64{state} : -1;
       },
       {W(sdn)}, 1, kOutValue},
  };
  // The Qor flash-file calls exist only in the current release.
  if constexpr (!SCM_kLegacy) {
    cases.insert(cases.end(), {
          {"ScmReadQorFlashFile", 0x94, [] { return i64{ScmReadQorFlashFile(kSdn, 16, 0xFFFFFFFFu, 18, gBuffer)}; },
           {W(sdn), W(16), W(0xFFFFFFFFu), W(18), A(gBuffer)}, 5, kOutValue},
          {"ScmWriteQorFlashFile", 0x95, [] { return i64{ScmWriteQorFlashFile(kSdn, 16, 0, 18, gBuffer)}; },
           {W(sdn), W(16), W(0), W(18), A(gBuffer)}, 5, kOutValue},
    });
  }
  return cases;
}

TEST_F(SystemCallsTest, EachWrapperPassesItsWordsInOrderZeroFillsAndPassesTheNumberLast) {
  for (const WrapperCase& c : Cases()) {
    SCOPED_TRACE(c.name);
    hostlibfake::Reset();
    bool outWasZeroed = true;
    hostlibfake::reply = [&](const SyscallRecord& r) -> _Vx_usr_arg_t {
      if (c.outIndex) {
        u32* out = OutAt(r, *c.outIndex);
        outWasZeroed = (*out == 0);
        *out = kOutValue;
      }
      return 0;
    };
    EXPECT_EQ(c.invoke(), c.success);
    ASSERT_EQ(calls.size(), 1u);
    const SyscallRecord& r = calls[0];
    EXPECT_EQ(r.number, c.number);
    for (std::size_t i = 0; i < c.leading.size(); ++i) {
      EXPECT_EQ(r.words[i], c.leading[i]) << "word " << i;
    }
    std::size_t next = c.leading.size();
    if (c.outIndex) {
      ASSERT_EQ(*c.outIndex, next) << "out word must follow the caller's arguments";
      EXPECT_NE(r.words[next], 0);
      EXPECT_NE(r.words[next], A(gBuffer)) << "out word is the wrapper's own";
      EXPECT_TRUE(outWasZeroed);
      ++next;
    }
    for (std::size_t i = next; i < 8; ++i) {
      EXPECT_EQ(r.words[i], 0) << "word " << i << " must be zero";
    }
  }
}

TEST_F(SystemCallsTest, EachWrapperFailsWithMinusOneOrZeroAndKeepsTheHostsErrno) {
  for (const WrapperCase& c : Cases()) {
    SCOPED_TRACE(c.name);
    hostlibfake::Reset();
    hostlibfake::reply = [&](const SyscallRecord& r) -> _Vx_usr_arg_t {
      if (c.outIndex) {
        *OutAt(r, *c.outIndex) = kOutValue;
      }
      errno = 0x1234;
      return -1;
    };
    const bool countsAsZero = c.number == 0x81 || c.number == 0x82;
    EXPECT_EQ(c.invoke(), countsAsZero ? 0 : -1);
    EXPECT_EQ(errno, 0x1234);
  }
}

TEST_F(SystemCallsTest, CounterCombinesBothHalvesFromZeroedLocals) {
  hostlibfake::reply = [](const SyscallRecord& r) -> _Vx_usr_arg_t {
    EXPECT_EQ(*OutAt(r, 0), 0u);
    EXPECT_EQ(*OutAt(r, 1), 0u);
    *OutAt(r, 0) = 0x89ABCDEFu;
    *OutAt(r, 1) = 0x01234567u;
    return 0;
  };
  EXPECT_EQ(ScmGetUSecCounter(), 0x0123456789ABCDEFull);
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].number, 0x80);
  EXPECT_NE(calls[0].words[0], calls[0].words[1]);
  for (std::size_t i = 2; i < 8; ++i) {
    EXPECT_EQ(calls[0].words[i], 0);
  }
}

TEST_F(SystemCallsTest, CounterIsAllZeroWhenTheCallFailsEvenIfTheHostWroteHalves) {
  hostlibfake::reply = [](const SyscallRecord& r) -> _Vx_usr_arg_t {
    *OutAt(r, 0) = 0xFFFFFFFFu;
    *OutAt(r, 1) = 0x00000001u;
    return -1;
  };
  EXPECT_EQ(ScmGetUSecCounter(), 0u);
}

TEST_F(SystemCallsTest, ResetPlcPassesItsWordUnchangedAndReturnsTheRawResult) {
  const _Vx_usr_arg_t words[] = {32, 0, -1, static_cast<_Vx_usr_arg_t>(INTPTR_MIN)};
  const _Vx_usr_arg_t results[] = {0, -1, 5, -7, static_cast<_Vx_usr_arg_t>(INTPTR_MAX)};
  for (_Vx_usr_arg_t word : words) {
    for (_Vx_usr_arg_t result : results) {
      hostlibfake::Reset();
      hostlibfake::reply = [result](const SyscallRecord&) { return result; };
      EXPECT_EQ(ScmResetPlc(word), result);
      ASSERT_EQ(calls.size(), 1u);
      EXPECT_EQ(calls[0].number, 0x93);
      EXPECT_EQ(calls[0].words[0], word);
      for (std::size_t i = 1; i < 8; ++i) {
        EXPECT_EQ(calls[0].words[i], 0);
      }
    }
  }
}

TEST_F(SystemCallsTest, PseudoHandleCallsNeverReachTheHost) {
  if constexpr (SCM_kLegacy) {
    GTEST_SKIP() << "the older release has no pseudo handle";
  }
  EXPECT_EQ(ScmCloseStorage(SCM_PARDATA_PSEUDO_HANDLE), 0);
  EXPECT_EQ(ScmGetStorageLength(SCM_PARDATA_PSEUDO_HANDLE), 0);
  EXPECT_EQ(ScmReadStorage(SCM_PARDATA_PSEUDO_HANDLE, sizeof gBuffer, gBuffer), 0);
  EXPECT_EQ(ScmWriteStorage(SCM_PARDATA_PSEUDO_HANDLE, sizeof gBuffer, gBuffer), -1);
  EXPECT_TRUE(calls.empty());
  EXPECT_EQ(SCM_PARDATA_PSEUDO_HANDLE, 64254);
}

TEST_F(SystemCallsTest, RefusedOpenGivesThePseudoHandleOnlyForPardataAndNotWhenBusy) {
  struct OpenCase {
    const char* name;  ///< file name
    int hostErrno;     ///< errno of the refusal
    i32 expected;      ///< wrapper result
  };
  // The older release answers every refusal -1: a missing "pardata1.bin" too.
  const i32 pseudo = SCM_kLegacy ? -1 : SCM_PARDATA_PSEUDO_HANDLE;
  const OpenCase table[] = {
      {"pardata1.bin", 2, pseudo},
      {"PARDATA1.BIN", 2, pseudo},
      {"PaRdAtA1.Bin", 0x3D0010, pseudo},
      {"pardata1.bin", SCM_STORAGE_BUSY_ERRNO, -1},
      {"PARDATA1.BIN", SCM_STORAGE_BUSY_ERRNO, -1},
      {"pardata1.bin.swp", 2, -1},
      {"pardata1.bi", 2, -1},
      {"kel_para.saf", 2, -1},
      {"kel_para.saf", SCM_STORAGE_BUSY_ERRNO, -1},
      {"", 2, -1},
  };
  for (const OpenCase& c : table) {
    SCOPED_TRACE(std::string(c.name) + " errno " + std::to_string(c.hostErrno));
    hostlibfake::Reset();
    hostlibfake::reply = [&](const SyscallRecord&) -> _Vx_usr_arg_t {
      errno = c.hostErrno;
      return -1;
    };
    EXPECT_EQ(ScmOpenStorage(1, c.name, 'r'), c.expected);
    EXPECT_EQ(errno, c.hostErrno) << "errno is kept for the caller";
    EXPECT_EQ(calls.size(), 1u);
  }
}

TEST_F(SystemCallsTest, OpenedPardataGetsTheHostsHandle) {
  hostlibfake::reply = [](const SyscallRecord& r) -> _Vx_usr_arg_t {
    *OutAt(r, 3) = 9;
    return 0;
  };
  EXPECT_EQ(ScmOpenStorage(1, "pardata1.bin", 'r'), 9);
}

TEST_F(SystemCallsTest, NullBuffersAreRefusedWithoutACall) {
  EXPECT_EQ(ScmOpenStorage(1, nullptr, 'r'), -1);
  EXPECT_EQ(ScmRequestQorUdid(1, nullptr), -1);
  EXPECT_EQ(ScmReadStorage(kHandle, 4, nullptr), -1);
  EXPECT_EQ(ScmWriteStorage(kHandle, 4, nullptr), -1);
  EXPECT_EQ(ScmReceiveChannel(kHandle, 4, nullptr), -1);
  EXPECT_EQ(ScmSendChannel(kHandle, 4, nullptr), -1);
  if constexpr (!SCM_kLegacy) {
    EXPECT_EQ(ScmReadQorFlashFile(1, 16, 0, 4, nullptr), -1);
    EXPECT_EQ(ScmWriteQorFlashFile(1, 16, 0, 4, nullptr), -1);
  }
  EXPECT_TRUE(calls.empty());
}

TEST_F(SystemCallsTest, ACountBeyondWhatTheCallerAllowedIsAFailure) {
  hostlibfake::reply = [](const SyscallRecord& r) -> _Vx_usr_arg_t {
    *OutAt(r, 3) = 11;
    return 0;
  };
  EXPECT_EQ(ScmReadStorage(kHandle, 10, gBuffer), -1);
  EXPECT_EQ(ScmReceiveChannel(kHandle, 10, gBuffer), -1);
  EXPECT_EQ(ScmWriteStorage(kHandle, 10, gBuffer), -1);
  EXPECT_EQ(ScmReadStorage(kHandle, 11, gBuffer), 11);
}

TEST_F(SystemCallsTest, AFailedWaitLeavesZeroAndAFailedFailSafeStateLeavesTheCallersByte) {
  hostlibfake::reply = [](const SyscallRecord& r) -> _Vx_usr_arg_t {
    *OutAt(r, r.number == 0x90 ? 2 : 1) = 0x55;
    return -1;
  };
  u32 value = 0xDEAD;
  EXPECT_EQ(ScmWaitForCondition(1, 1, &value), -1);
  EXPECT_EQ(value, 0u);
  // The callers preset "not known" (0xFF) and ask again while it stays so; 0
  // would read as "controller normal".
  for (const u8 preset : {u8{0xFF}, u8{0xAA}}) {
    u8 state = preset;
    EXPECT_EQ(ScmGetQorFailSafeState(1, &state), -1);
    EXPECT_EQ(state, preset);
  }
}

TEST_F(SystemCallsTest, FailSafeStateTakesTheByteTheHostStores) {
  for (u8 stored : {u8{0}, u8{1}, u8{0xFF}}) {
    hostlibfake::reply = [stored](const SyscallRecord& r) -> _Vx_usr_arg_t {
      std::memcpy(OutAt(r, 1), &stored, 1);
      return 0;
    };
    u8 state = 0xAA;
    EXPECT_EQ(ScmGetQorFailSafeState(1, &state), 0);
    EXPECT_EQ(state, stored);
  }
}

TEST_F(SystemCallsTest, SafetyDomainNumberFromEnvironment) {
  struct EnvCase {
    const char* value;  ///< variable content, null = unset
    u16 expected;       ///< result
  };
  const EnvCase table[] = {
      {"1", 1},       {"7", 7},         {"1023", 1023},  {"0001", 1},          {"0", 0},
      {"1024", 0},    {"65537", 0},     {"4294967297", 0}, {"99999999999999999999", 0},
      {"", 0},        {"-1", 0},        {"+5", 0},       {" 5", 0},            {"5 ", 0},
      {"5x", 0},      {"0x10", 0},      {"1e2", 0},      {nullptr, 0},
  };
  const char* name = "SCM_HOSTLIB_TEST_SDN";
  for (const EnvCase& c : table) {
    SCOPED_TRACE(c.value ? c.value : "(unset)");
    if (c.value) {
      setenv(name, c.value, 1);
    } else {
      unsetenv(name);
    }
    EXPECT_EQ(ScmGetSafetyDomainNumberFromEnvironment(name), c.expected);
  }
  unsetenv(name);
  EXPECT_EQ(ScmGetSafetyDomainNumberFromEnvironment(nullptr), 0);
  EXPECT_TRUE(calls.empty());
}

}  // namespace
