// The Qor variable channel both ways: the older firmware's read of variable 4
// and the older checker's are the same request, which the stand-in controller
// answers as a read; 18 identity bytes stored in variable 4 read back equal
// through the checker, and a persistence over them counts the key medium
// acknowledged against a ".chk" from the same "corvane.uid"; one table of
// controller answers with an expected column per older reader (firmware and
// checker) states where the two differ.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "CChannelQorVariableStorage.h"
#include "CDefaultPersistence.h"
#include "CException.h"
#include "CQorVariableCorvaneCopySource.h"
#include "CheckerTestDomain.h"
#include "HNFstp.h"
#include "MFWQZ.h"
#include "MFWQZ_KeyMediumQorVariable.h"
#include "MFWQZ_Confirm.h"
#include "PersistenceTestSupport.h"
#include "QorController.h"
#include "ScmSystemCalls.h"
#include "rtp_mem_control.h"

namespace {

using Bytes = std::vector<uint8_t>;
using Util::CException;

constexpr u16 kSdn = 7;

/// The stand-in's Qor controller behind the in-memory platform's host calls, with the
/// requests each side sent.
struct ControllerHost {
  ScmSim::QorController controller;
  std::vector<Bytes> requests;  ///< every request sent on channel 6
  uint64_t counter = 0;         ///< microsecond counter, moved on each read of it
  uint8_t state = 0;            ///< fail-safe state

  /// Stores value as variable 4 the way a write on the channel does (command flag, length, bytes).
  void Store(const Bytes& value) {
    Bytes write(2 + value.size(), 0);
    write[0] = 0x24;
    write[1] = static_cast<uint8_t>(value.size());
    std::copy(value.begin(), value.end(), write.begin() + 2);
    ASSERT_EQ(controller.Answer(write), (Bytes{0xA4, 0x00}));
  }

  void Install() {
    ScmMemReset();
    SetCheckerTestDomain(kSdn);
    HNFstp_usSdn = kSdn;
    MFWQZ_gbQorFailed = 0;  // the firmware's latch of a failed exchange
    MFWQZ_gbQorRecovered = 0;
    ScmMemSetSyscallHook([this](const _Vx_usr_arg_t w[8], int number) -> _Vx_usr_arg_t {
      auto out = [](_Vx_usr_arg_t word) { return reinterpret_cast<u32*>(static_cast<std::uintptr_t>(word)); };
      switch (number) {
        case SCM_SC_GET_USEC_COUNTER:
          counter += 100000;  // each read a tenth of a second on: the 10-s waits end quickly
          *out(w[0]) = static_cast<u32>(counter);
          *out(w[1]) = static_cast<u32>(counter >> 32);
          return 0;
        case SCM_SC_GET_QOR_FAIL_SAFE_STATE:
          *reinterpret_cast<u8*>(static_cast<std::uintptr_t>(w[1])) = state;
          return 0;
        case SCM_SC_OPEN_CHANNEL: {
          const int32_t h = controller.Open(static_cast<u32>(w[2]), static_cast<u32>(w[3]));
          if (h < 0) return -1;
          *out(w[4]) = static_cast<u32>(h);
          return 0;
        }
        case SCM_SC_CLOSE_CHANNEL:
          return controller.Close(static_cast<int32_t>(w[0])) ? 0 : -1;
        case SCM_SC_SEND_CHANNEL: {
          const auto* data = reinterpret_cast<const uint8_t*>(static_cast<std::uintptr_t>(w[2]));
          const Bytes request(data, data + static_cast<u32>(w[1]));
          requests.push_back(request);
          const int32_t n = controller.Send(static_cast<int32_t>(w[0]), request);
          if (n < 0) return -1;
          *out(w[3]) = static_cast<u32>(n);
          return 0;
        }
        case SCM_SC_RECEIVE_CHANNEL: {
          Bytes reply;
          const int32_t n = controller.Receive(static_cast<int32_t>(w[0]), static_cast<u32>(w[1]), reply);
          if (n < 0) return -1;
          if (n > 0) std::memcpy(reinterpret_cast<void*>(static_cast<std::uintptr_t>(w[2])), reply.data(), reply.size());
          *out(w[3]) = static_cast<u32>(n);
          return 0;
        }
        default:
          return 0;
      }
    });
  }
};

TEST(QorChannelCrossFormat, BothChannelsSendTheSameReadRequest) {
  ControllerHost host;
  host.Install();
  u8 firmwareCopy[18] = {};
  static_cast<void>(MFWQZ_LoadCorvaneIdFromQor(firmwareCopy));
  Main::CChannelQorVariableStorage storage;
  u8 checkerCopy[18] = {};
  try {
    storage.Read(4, 18, checkerCopy);
  } catch (const CException&) {
  }
  ASSERT_EQ(host.requests.size(), 2u);
  EXPECT_EQ(host.requests[0], Bytes{0x04});
  EXPECT_EQ(host.requests[1], host.requests[0]);
  // The stand-in answers it as a read (of a variable never written: no bytes).
  EXPECT_EQ(host.controller.Answer(host.requests[1]), (Bytes{0x84, 0x00}));
}

/// A "corvane.uid" of the installed domain: the identity the firmware keeps in variable 4.
Bytes Identity() { return PersistenceTest::InstalledFiles(PersistenceTest::InstalledDomain()).at("corvane.uid"); }

/// Whether the older persistence over the channel, with the installed domain's files,
/// counts the key medium acknowledged.
bool KeyMediumAcknowledged(Main::CChannelQorVariableStorage& storage) {
  PersistenceTest::MemoryStorage files;
  files.files = PersistenceTest::InstalledFiles(PersistenceTest::InstalledDomain());
  Main::CQorVariableCorvaneCopySource source(storage);
  auto persistence =
      std::make_unique<Main::CDefaultPersistence>(files, source, Main::ms_LegacyPersistenceProfile);
  persistence->TryInitialize();
  return persistence->IsAcknowledged();
}

TEST(QorChannelCrossFormat, StoredIdentityReadsBackEqualAndAcknowledgesTheKeyMedium) {
  ControllerHost host;
  host.Install();
  const Bytes identity = Identity();
  ASSERT_EQ(identity.size(), 18u);
  host.Store(identity);
  // Both readers see the same 18 bytes.
  u8 firmwareCopy[18] = {};
  ASSERT_EQ(MFWQZ_LoadCorvaneIdFromQor(firmwareCopy), 0);
  EXPECT_EQ(Bytes(firmwareCopy, firmwareCopy + 18), identity);
  Main::CChannelQorVariableStorage storage;
  u8 checkerCopy[18] = {};
  ASSERT_EQ(storage.Read(4, 18, checkerCopy), 18);
  EXPECT_EQ(Bytes(checkerCopy, checkerCopy + 18), identity);
  // The older persistence over the channel counts the key medium acknowledged.
  EXPECT_TRUE(KeyMediumAcknowledged(storage));
  EXPECT_FALSE(storage.HasFailed());
}

TEST(QorChannelCrossFormat, WhatTheFirmwaresWriterStoresTheCheckerReadsBackAndAcknowledges) {
  ControllerHost host;
  host.Install();
  const Bytes identity = Identity();
  ASSERT_EQ(identity.size(), 18u);
  ASSERT_EQ(MFWQZ_SaveCorvaneIdToQor(identity.data()), 0);
  // one write of variable 4 on the channel: command flag, 18 bytes, the identity
  ASSERT_EQ(host.requests.size(), 1u);
  Bytes write = {0x24, 18};
  write.insert(write.end(), identity.begin(), identity.end());
  EXPECT_EQ(host.requests[0], write);
  EXPECT_EQ(host.controller.Variable(4), identity);
  Main::CChannelQorVariableStorage storage;
  u8 checkerCopy[18] = {};
  ASSERT_EQ(storage.Read(4, 18, checkerCopy), 18);
  EXPECT_EQ(Bytes(checkerCopy, checkerCopy + 18), identity);
  EXPECT_EQ(host.requests.back(), Bytes{0x04}) << "the checker's read request";
  EXPECT_TRUE(KeyMediumAcknowledged(storage));
  // A fresh controller's 18 zero bytes: the checker does not count the key medium acknowledged.
  ASSERT_EQ(MFWQZ_SaveCorvaneIdToQor(Bytes(18, 0).data()), 0);
  EXPECT_FALSE(KeyMediumAcknowledged(storage));
  EXPECT_FALSE(storage.HasFailed());
}

/// How one reader took an answer.
std::string FirmwareOutcome(ControllerHost& host) {
  u8 copy[18] = {};
  const i32 result = MFWQZ_LoadCorvaneIdFromQor(copy);
  static_cast<void>(host);
  return result == 0 ? "18 bytes" : "fatal, latched";
}
std::string CheckerOutcome() {
  Main::CChannelQorVariableStorage storage;
  u8 copy[18] = {};
  try {
    return std::to_string(storage.Read(4, 18, copy)) + " bytes";
  } catch (const CException& error) {
    char text[32];
    std::snprintf(text, sizeof(text), "%04X i1 %u", error.GetCode(), static_cast<unsigned>(error.GetInformation1()));
    return text;
  }
}

struct AnswerRow {
  const char* name;      ///< the controller's answer
  std::optional<Bytes> reply;  ///< none: no answer at all
  std::string firmware;  ///< the older firmware's reader
  std::string checker;   ///< the older checker's reader
};

TEST(QorChannelCrossFormat, ControllerAnswersPerReader) {
  const Bytes id = Identity();
  auto answer = [&](uint8_t b0, uint8_t n, size_t bytes) {
    Bytes r(2 + bytes, 0);
    r[0] = b0;
    r[1] = n;
    for (size_t i = 0; i < bytes; ++i) r[2 + i] = id[i % id.size()];
    return r;
  };
  const AnswerRow rows[] = {
      {"the identity", answer(0x84, 18, 18), "18 bytes", "18 bytes"},
      {"never written (no payload)", answer(0x84, 0, 0), "fatal, latched", "0 bytes"},
      {"three bytes", answer(0x84, 1, 1), "fatal, latched", "1 bytes"},
      {"19 bytes", answer(0x84, 19, 19), "fatal, latched", "E23E i1 19"},
      {"an error answer", answer(0xC4, 0, 0), "fatal, latched", "E23D i1 196"},
      {"another variable's answer", answer(0x85, 18, 18), "fatal, latched", "18 bytes"},
      {"shorter than its payload", answer(0x84, 18, 10), "fatal, latched", "E2D1 i1 12"},
      {"no answer", std::nullopt, "fatal, latched", "E2D1 i1 0"},
  };
  for (const AnswerRow& row : rows) {
    SCOPED_TRACE(row.name);
    std::string outcomes[2];
    for (int reader = 0; reader < 2; ++reader) {
      ControllerHost host;
      host.Install();
      ScmSim::QorReplyScript script;
      script.kind = row.reply ? ScmSim::QorReplyScript::Kind::Raw : ScmSim::QorReplyScript::Kind::None;
      if (row.reply) script.bytes = *row.reply;
      host.controller.Script(script);
      outcomes[reader] = reader == 0 ? FirmwareOutcome(host) : CheckerOutcome();
    }
    EXPECT_EQ(outcomes[0], row.firmware);
    EXPECT_EQ(outcomes[1], row.checker);
  }
}

}  // namespace
