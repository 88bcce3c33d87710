// Robustness of the command path: seeded random and mutated commands of every
// length go through the command channel. Each ends in exactly one answer or
// in the channel's drop event; nothing fatal is ever raised. The seed is fixed
// unless SCM_REMOTE_FUZZ_SEED names another one.
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "FwRemoteSupport.h"
#include "FwUnitSupport.h"
#include "HNFiff_CmdChnl.h"
#include "HNFiff_ModuleState.h"
#include "MFWQZ.h"
#include "MFWQZ_Confirm.h"
#include "MFWQZ_Remote.h"
#include "MessageBuilder.h"

namespace FwTest {
namespace {

using TestFrames::Bytes;

/// Messages fed per run.
constexpr int kRounds = 20000;

uint32_t Seed() {
  const char* text = std::getenv("SCM_REMOTE_FUZZ_SEED");
  return text != nullptr ? static_cast<uint32_t>(std::strtoul(text, nullptr, 0)) : 0x5C3E0018u;
}

/// A valid command of a random kind, as the operator would send it.
Bytes ValidCommand(std::mt19937& rng) {
  static const u16 kCodes[] = {0x0020, 0x0030, 0x0040, 0x0050, 0x0060, 0x0100, 0x0200, 0x1000, 0x2000, 0x3000,
                               0x4000, 0x5000, 0x6000, 0x6001, 0x7000, 0x7003, 0x8000, 0x9000, 0x9100, 0xF000, 0};
  TestFrames::CommandSpec fields;
  fields.commandClass = (rng() % 2) != 0 ? TestFrames::kEnterCommand : TestFrames::kStatusRequest;
  fields.code = kCodes[rng() % (sizeof(kCodes) / sizeof(kCodes[0]))];
  fields.echo = static_cast<u16>(rng());
  fields.identifier = static_cast<u16>(rng());
  if ((rng() % 4) == 0) {
    fields.password[rng() % 16] = static_cast<u8>(rng());
  }
  if (fields.commandClass == TestFrames::kEnterCommand && fields.code == 0x5000) {
    fields.newPassword = std::array<u8, 16>{};
  }
  if ((rng() % 3) == 0) {
    // An object read of 0 to 5 objects in place of the command.
    const size_t n = rng() % 6;
    Bytes read(4 + 16 + 4 * n, 0);
    read[0] = 3;
    TestFrames::PutLe(read, 4, 0x8400, 2);
    TestFrames::PutLe(read, 6, 18 + 4 * n, 2);
    TestFrames::PutLe(read, 8, 1, 2);
    TestFrames::PutLe(read, 14, 1, 2);
    TestFrames::PutLe(read, 16, n, 2);
    for (size_t i = 0; i < n; ++i) {
      TestFrames::PutLe(read, 20 + 4 * i, 0x2400 + rng() % 0x70, 2);
      read[22 + 4 * i] = static_cast<u8>(rng());
    }
    return read;
  }
  return TestFrames::BuildCommand(fields);
}

/// A mutation of a valid command: bytes flipped, cut or grown, or random bytes of any length up to 42.
Bytes Mutate(std::mt19937& rng, Bytes message) {
  switch (rng() % 4) {
    case 0:
      for (int flips = 1 + static_cast<int>(rng() % 4); flips > 0 && !message.empty(); --flips) {
        message[rng() % message.size()] ^= static_cast<u8>(1u << (rng() % 8));
      }
      break;
    case 1: message.resize(rng() % (message.size() + 1)); break;
    case 2: message.resize(std::min<size_t>(42, message.size() + 1 + rng() % 8), static_cast<u8>(rng())); break;
    default:
      message.resize(rng() % 43);
      for (u8& b : message) {
        b = static_cast<u8>(rng());
      }
      if (message.size() >= 2 && (rng() % 2) != 0) {
        message[0] = 3;
        message[1] = 0;
      }
      break;
  }
  return message;
}

class FwRemoteRobustness : public FwFixture {};

TEST_F(FwRemoteRobustness, EveryMessageEndsInOneAnswerOrTheDropEvent) {
  const uint32_t seed = Seed();
  SCOPED_TRACE("seed " + std::to_string(seed));
  std::mt19937 rng(seed);
  MFWQZ_Confirm.ulState = MFWQZ_k_CNF_IDLE;
  int answered = 0;
  int dropped = 0;
  for (int round = 0; round < kRounds; ++round) {
    // Now and then the state moves on as the machines would move it.
    if ((rng() % 16) == 0) {
      ResetRemoteControl();
      MFWQZ_Confirm.ulState = MFWQZ_k_CNF_IDLE;
      MFWQZ_gbRemoteActive = rng() % 2;
      MFWQZ_bCvnFromQorAvailable = rng() % 2;
      MFWQZ_ulNumberOfUdidMisMatches = rng() % 7;
      MFWQZ_ModuleInfo[2 + rng() % 200].ulFlags = 1 | (rng() % 2 != 0 ? 0x400u : 0x8000u);
    }
    Bytes message = ValidCommand(rng);
    if ((rng() % 2) != 0) {
      message = Mutate(rng, message);
    }
    PutComplemented("command", message);
    HNFiff_CmdChnlRcv();
    const std::vector<Bytes> answers = TakePlain("status");
    const std::vector<Event> events = TakeEvents();
    const bool command = message.size() >= 4 && message[0] == 3 && message[1] == 0;
    if (command) {
      ASSERT_EQ(answers.size(), 1u) << "round " << round;
      ASSERT_GE(answers[0].size(), 4u + MFWQZ_kPwdInfoSize);
      EXPECT_EQ(answers[0][0], 4);
      EXPECT_EQ(answers[0][2], message[2]);
      EXPECT_EQ(answers[0][3], message[3]);
      ++answered;
    } else {
      ASSERT_TRUE(answers.empty()) << "round " << round;
      ASSERT_EQ(events.size(), 1u);
      EXPECT_EQ(events[0].code, 0x62008709u);
      ++dropped;
    }
    for (const Event& e : events) {
      ASSERT_NE(e.code >> 28, 9u) << "round " << round << " raised a fatal event";
    }
    ASSERT_EQ(HNFiff_ModuleStateIsNormal(), 1);
  }
  EXPECT_GT(answered, kRounds / 2);
  EXPECT_GT(dropped, 0);
}

}  // namespace
}  // namespace FwTest
