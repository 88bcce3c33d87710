// Message channels and the command channel layer.
#include <gtest/gtest.h>

#include "FwUnitSupport.h"
#include "ScmProfile.h"
#include "HNFcom.h"
#include "HNFevt.h"
#include "HNFiff_CmdChnl.h"
#include "HNFiff_ModuleState.h"

namespace FwTest {
namespace {

class FwChannels : public FwFixture {};

std::vector<uint8_t> Pattern(size_t n, uint8_t seed) {
  std::vector<uint8_t> v(n);
  for (size_t i = 0; i < n; ++i) {
    v[i] = static_cast<uint8_t>(seed + i * 3);
  }
  return v;
}

struct ChannelQueue {
  uint8_t channel;
  const char* suffix;
  uint32_t size;
};

TEST_F(FwChannels, ReceiveOnEveryReceiveChannelComplementsBack) {
  const ChannelQueue cases[] = {{2, "command", 42}, {4, "frame-send", 521}, {5, "unlock-request", 21}};
  for (const auto& c : cases) {
    for (uint32_t length : {1u, c.size}) {
      const auto plain = Pattern(length, 0x30);
      PutComplemented(c.suffix, plain);
      uint8_t* buffer = nullptr;
      uint32_t got = 0;
      uint8_t* handle = HNFcom_GetReceiveBuffer(c.channel, &buffer, &got);
      ASSERT_NE(handle, nullptr) << c.suffix;
      EXPECT_EQ(handle, buffer);
      EXPECT_EQ(std::vector<uint8_t>(buffer, buffer + got), plain);
      EXPECT_EQ(HNFcom_FreeBuffer(c.channel, buffer), 0);
    }
    EXPECT_EQ(HNFcom_GetReceiveBuffer(c.channel, nullptr, nullptr), nullptr) << "empty queue";
  }
  EXPECT_TRUE(TakeEvents().empty());
}

TEST_F(FwChannels, SendOnEverySendChannelComplementsAndReleases) {
  const ChannelQueue cases[] = {{2, "status", 280}, {3, "event", 11}, {4, "frame-receive", 521},
                                {6, "unlock-response", 8}};
  for (const auto& c : cases) {
    for (uint32_t length : {0u, 1u, c.size}) {
      uint8_t* buffer = nullptr;
      uint8_t* handle = HNFcom_GetSendBuffer(c.channel, &buffer, length);
      ASSERT_NE(handle, nullptr) << c.suffix;
      const auto plain = Pattern(length, 0x41);
      std::copy(plain.begin(), plain.end(), buffer);
      EXPECT_EQ(HNFcom_SendBuffer(c.channel, handle, buffer, length), 0);
      EXPECT_EQ(HNFcom_IsSendBufferOccupied(c.channel), 0);
      EXPECT_EQ(TakePlain(c.suffix), (std::vector<std::vector<uint8_t>>{plain})) << c.suffix << " " << length;
    }
  }
  EXPECT_TRUE(TakeEvents().empty());
}

TEST_F(FwChannels, FullQueueKeepsTheBufferAndResendsTheSameComplementedBytes) {
  const std::string name = ScmName("frame-receive");
  for (int i = 0; i < kCapacity; ++i) {
    ASSERT_EQ(ScmMemQueuePut(name.c_str(), "x", 1), OK);
  }
  uint8_t* buffer = nullptr;
  uint8_t* handle = HNFcom_GetSendBuffer(4, &buffer, 13);
  const auto plain = Pattern(13, 0x10);
  std::copy(plain.begin(), plain.end(), buffer);
  EXPECT_EQ(HNFcom_SendBuffer(4, handle, buffer, 13), 1);
  EXPECT_EQ(HNFcom_IsSendBufferOccupied(4), 1);
  EXPECT_EQ(std::vector<uint8_t>(buffer, buffer + 13), Complement(plain));
  ASSERT_EQ(ScmMemQueueClear(name.c_str()), OK);
  EXPECT_EQ(HNFcom_SendBuffer(4, handle, buffer, 13), 0);
  EXPECT_EQ(TakePlain("frame-receive"), (std::vector<std::vector<uint8_t>>{plain}));
  EXPECT_TRUE(TakeEvents().empty());
  EXPECT_EQ(HNFiff_ModuleStateIsNormal(), 1);
}

TEST_F(FwChannels, FullQueueBufferCanBeReleasedInstead) {
  const std::string name = ScmName("unlock-response");
  for (int i = 0; i < kCapacity; ++i) {
    ASSERT_EQ(ScmMemQueuePut(name.c_str(), "x", 1), OK);
  }
  uint8_t* buffer = nullptr;
  uint8_t* handle = HNFcom_GetSendBuffer(6, &buffer, 8);
  EXPECT_EQ(HNFcom_SendBuffer(6, handle, buffer, 8), 1);
  EXPECT_EQ(HNFcom_FreeSendBuffer(6, handle, buffer, 8), 0);
  EXPECT_NE(HNFcom_GetSendBuffer(6, &buffer, 8), nullptr);
}

/// One misuse and the fatal code it must raise (0: none).
struct Misuse {
  const char* what;
  std::function<void(FwChannels&)> act;
  uint32_t code;
  uint32_t info1;
};

TEST_F(FwChannels, EveryMisuseRaisesItsFatalCode) {
  const Misuse cases[] = {
      {"receive twice", [](FwChannels& t) {
         t.PutComplemented("command", {1, 2, 3, 4});
         t.PutComplemented("command", {1, 2, 3, 4});
         HNFcom_GetReceiveBuffer(2, nullptr, nullptr);
         EXPECT_EQ(HNFcom_GetReceiveBuffer(2, nullptr, nullptr), nullptr);
       }, 0x92008194, 2},
      {"receive on a send-only channel", [](FwChannels&) { EXPECT_EQ(HNFcom_GetReceiveBuffer(3, nullptr, nullptr), nullptr); },
       0x92008196, 3},
      {"send buffer of unknown channel", [](FwChannels&) { EXPECT_EQ(HNFcom_GetSendBuffer(7, nullptr, 1), nullptr); },
       0x92008196, 7},
      {"send buffer of a receive-only channel", [](FwChannels&) { EXPECT_EQ(HNFcom_GetSendBuffer(5, nullptr, 1), nullptr); },
       0x92008196, 5},
      {"send buffer too long", [](FwChannels&) { EXPECT_EQ(HNFcom_GetSendBuffer(6, nullptr, 9), nullptr); },
       0x92008197, 6},
      {"send buffer twice", [](FwChannels&) {
         HNFcom_GetSendBuffer(2, nullptr, 4);
         EXPECT_EQ(HNFcom_GetSendBuffer(2, nullptr, 4), nullptr);
       }, 0x92008192, 2},
      {"send of another channel's buffer", [](FwChannels&) {
         uint8_t* b4 = nullptr;
         HNFcom_GetSendBuffer(4, &b4, 4);
         HNFcom_GetSendBuffer(2, nullptr, 4);
         EXPECT_EQ(HNFcom_SendBuffer(2, b4, b4, 4), 1);
         EXPECT_EQ(HNFcom_IsSendBufferOccupied(2), 0);
       }, 0x92008198, 2},
      {"send too long", [](FwChannels&) {
         uint8_t* b = nullptr;
         uint8_t* h = HNFcom_GetSendBuffer(6, &b, 8);
         EXPECT_EQ(HNFcom_SendBuffer(6, h, b, 9), 1);
       }, 0x92008198, 6},
      {"send of a buffer not handed out", [](FwChannels&) {
         uint8_t* b = nullptr;
         uint8_t* h = HNFcom_GetSendBuffer(6, &b, 8);
         HNFcom_FreeSendBuffer(6, h, b, 8);
         EXPECT_EQ(HNFcom_SendBuffer(6, h, b, 8), 1);
       }, 0x92008198, 6},
      {"send on unknown channel", [](FwChannels&) {
         uint8_t* b = nullptr;
         uint8_t* h = HNFcom_GetSendBuffer(6, &b, 8);
         EXPECT_EQ(HNFcom_SendBuffer(1, h, b, 8), 1);
       }, 0x92008196, 1},
      {"free of a receive buffer not handed out", [](FwChannels& t) {
         t.PutComplemented("unlock-request", {1});
         uint8_t* b = HNFcom_GetReceiveBuffer(5, nullptr, nullptr);
         EXPECT_EQ(HNFcom_FreeBuffer(5, b), 0);
         EXPECT_EQ(HNFcom_FreeBuffer(5, b), 1);
       }, 0x92008198, 5},
      {"failed receive", [](FwChannels&) {
         ScmMemInjectFailures(ScmMemOp::Receive, 1, SCM_ERRNO_INVALID_ID);
         EXPECT_EQ(HNFcom_GetReceiveBuffer(4, nullptr, nullptr), nullptr);
       }, 0x92008195, 4},
      {"failed send", [](FwChannels&) {
         uint8_t* b = nullptr;
         uint8_t* h = HNFcom_GetSendBuffer(2, &b, 4);
         ScmMemInjectFailures(ScmMemOp::Send, 1, SCM_ERRNO_INVALID_ID);
         EXPECT_EQ(HNFcom_SendBuffer(2, h, b, 4), 1);
       }, 0x92008193, SCM_ERRNO_INVALID_ID},
  };
  for (const auto& c : cases) {
    SetUp();
    c.act(*this);
    const auto events = TakeEvents();
    if (c.code == 0) {
      EXPECT_TRUE(events.empty()) << c.what;
      continue;
    }
    ASSERT_EQ(events.size(), 1u) << c.what;
    EXPECT_EQ(events[0], (Event{3, c.code, 0, c.info1})) << c.what;
    EXPECT_EQ(HNFiff_ModuleStateIsNormal(), 0) << c.what;
  }
}

TEST_F(FwChannels, HandleMismatchAndNullBufferAreRefusedSilently) {
  uint8_t* buffer = nullptr;
  uint8_t* handle = HNFcom_GetSendBuffer(2, &buffer, 4);
  EXPECT_EQ(HNFcom_SendBuffer(2, nullptr, buffer, 4), 1);
  EXPECT_EQ(HNFcom_SendBuffer(2, handle, buffer + 1, 4), 1);
  EXPECT_EQ(HNFcom_FreeSendBuffer(2, nullptr, buffer, 4), 1);
  EXPECT_EQ(HNFcom_FreeBuffer(2, nullptr), 1);
  EXPECT_EQ(HNFcom_IsSendBufferOccupied(2), 1);
  EXPECT_TRUE(TakeEvents().empty());
}

TEST_F(FwChannels, FreeSlotsOfTheSendQueues) {
  const std::string name = ScmName("frame-receive");
  EXPECT_EQ(HNFcom_GetSendBufferCount(4), kCapacity);
  ASSERT_EQ(ScmMemQueuePut(name.c_str(), "x", 1), OK);
  EXPECT_EQ(HNFcom_GetSendBufferCount(4), kCapacity - 1);
  EXPECT_EQ(HNFcom_GetSendBufferCount(6), kCapacity);
  EXPECT_EQ(HNFcom_GetSendBufferCount(3), kEventCapacity);
  EXPECT_TRUE(TakeEvents().empty());
}

TEST_F(FwChannels, FreeSlotCountSaturatesAt255) {
  const std::string name = ScmName("status");
  ASSERT_EQ(ScmMemDeleteQueue(name.c_str()), OK);
  ASSERT_EQ(ScmMemCreateQueue(name.c_str(), 300, 280), OK);
  ASSERT_EQ(HNFcom_Init(), 0);
  EXPECT_EQ(HNFcom_GetSendBufferCount(2), 255);
  for (int i = 0; i < 100; ++i) {
    ASSERT_EQ(ScmMemQueuePut(name.c_str(), "x", 1), OK);
  }
  EXPECT_EQ(HNFcom_GetSendBufferCount(2), 200);
}

TEST_F(FwChannels, FreeSlotCountFailures) {
  EXPECT_EQ(HNFcom_GetSendBufferCount(5), 0);
  EXPECT_EQ(TakeEvents(), (std::vector<Event>{{3, 0x92008196, 0, 5}}));
  SetUp();
  ASSERT_EQ(ScmMemDeleteQueue(ScmName("frame-receive").c_str()), OK);
  EXPECT_EQ(HNFcom_GetSendBufferCount(4), 0);
  const auto events = TakeEvents();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].code, 0x92008199u);
  EXPECT_EQ(events[0].info1, static_cast<uint32_t>(SCM_ERRNO_INVALID_ID)) << "errno of the deleted queue";
}

TEST_F(FwChannels, InitWithAMissingQueueFailsAndForgetsTheOthers) {
  ASSERT_EQ(ScmMemDeleteQueue(ScmName("status").c_str()), OK);
  EXPECT_EQ(HNFcom_Init(), 1);
  EXPECT_EQ(TakeCodes(), (std::vector<uint32_t>{0x92008191}));
  // Nothing stays open: a frame waiting on an existing queue is not reachable.
  PutComplemented("frame-send", {1, 2});
  EXPECT_EQ(HNFcom_GetReceiveBuffer(4, nullptr, nullptr), nullptr);
  ASSERT_EQ(ScmMemCreateQueue(ScmName("status").c_str(), kCapacity, 280), OK);
  EXPECT_EQ(HNFcom_Init(), 0);
}

class FwCommandChannel : public FwFixture {};

TEST_F(FwCommandChannel, CommandsReachTheApplicationWithoutTheirHeader) {
  // Three payload bytes with the variable-size bit in the class: the object read answers "too short"
  // (result 1 at offset 10 of a 14-byte answer) under the command's identifier.
  PutComplemented("command", {3, 0, 0x34, 0x12, 0xAA, 0xBB, 0xCC});
  HNFiff_CmdChnlRcv();
  std::vector<uint8_t> shortRead = {4, 0, 0x34, 0x12};
  shortRead.resize(4 + 14);
  shortRead[4 + 10] = 1;
  if constexpr (SCM_kLegacy) {
    // The older release has only fixed-size commands: the wrong length (30), class and echo, the module state.
    shortRead = {4, 0, 0x34, 0x12, 0xAA, 0xBB, 0xCC, 0, 30, 0};
    shortRead.resize(4 + 276);
    shortRead[4 + 19] = 0x55;
  }
  EXPECT_EQ(TakePlain("status"), (std::vector<std::vector<uint8_t>>{shortRead}));
  const std::vector<Event> refused = {{1, 0x6200C08B, 30, 3}};
  EXPECT_EQ(TakeEvents(), SCM_kLegacy ? refused : std::vector<Event>{});
  // An empty payload is a fixed-size command of the wrong length: result 30.
  PutComplemented("command", {3, 0, 1, 0});
  HNFiff_CmdChnlRcv();
  const auto answers = TakePlain("status");
  ASSERT_EQ(answers.size(), 1u);
  ASSERT_EQ(answers[0].size(), 280u);
  EXPECT_EQ(std::vector<uint8_t>(answers[0].begin(), answers[0].begin() + 10),
            (std::vector<uint8_t>{4, 0, 1, 0, 0, 0, 0, 0, 30, 0}));
  EXPECT_EQ(TakeEvents(), (std::vector<Event>{{1, 0x6200C08B, 30, 0}}));
}

TEST_F(FwCommandChannel, ForeignAndShortMessagesAreReportedAndDropped) {
  const struct {
    std::vector<uint8_t> message;
    Event event;
  } cases[] = {
      {{4, 0, 0, 0, 9}, {2, 0x62008709, 4, 5}},
      {{3, 1, 0, 0}, {2, 0x62008709, 0x103, 4}},
      {{3, 0, 0}, {2, 0x62008709, 0, 3}},
      {{}, {2, 0x62008709, 0, 0}},
  };
  for (const auto& c : cases) {
    PutComplemented("command", c.message);
    HNFiff_CmdChnlRcv();
    EXPECT_EQ(TakeEvents(), (std::vector<Event>{c.event}));
    EXPECT_TRUE(TakePlain("status").empty());
  }
  // Every buffer was released: the next command passes and is answered.
  PutComplemented("command", {3, 0, 0, 0});
  HNFiff_CmdChnlRcv();
  EXPECT_EQ(TakePlain("status").size(), 1u);
  EXPECT_EQ(HNFiff_ModuleStateIsNormal(), 1);
}

TEST_F(FwCommandChannel, AtMostOneCommandPerCall) {
  PutComplemented("command", {3, 0, 0, 0});
  PutComplemented("command", {3, 0, 0, 0});
  HNFiff_CmdChnlRcv();
  EXPECT_EQ(TakePlain("status").size(), 1u);
  HNFiff_CmdChnlRcv();
  HNFiff_CmdChnlRcv();
  EXPECT_EQ(TakePlain("status").size(), 1u);
}

TEST_F(FwCommandChannel, ResponsesCarryTypeFourAndTheIdentifier) {
  const uint8_t payload[] = {9, 8, 7};
  EXPECT_EQ(HNFiff_RemoteControlSnd(payload, 3, 0x0102), 1);
  EXPECT_EQ(TakePlain("status"), (std::vector<std::vector<uint8_t>>{{4, 0, 2, 1, 9, 8, 7}}));
  uint8_t* cursor = nullptr;
  uint8_t* handle = HNFiff_GetCMDRSendBuffer(5, 2, 0x0304, &cursor);
  ASSERT_NE(handle, nullptr);
  EXPECT_EQ(cursor, handle + 4);
  cursor[0] = 0x55;
  cursor[1] = 0x66;
  EXPECT_EQ(HNFiff_SendOrFreeCMDRBuffer(handle, cursor + 2, 2), 1);
  EXPECT_EQ(TakePlain("status"), (std::vector<std::vector<uint8_t>>{{5, 0, 4, 3, 0x55, 0x66}}));
  EXPECT_TRUE(TakeEvents().empty());
}

TEST_F(FwCommandChannel, UnsentResponsesReleaseTheirBuffer) {
  EXPECT_EQ(HNFiff_CMDR_Send(4, nullptr, 3, 0), 0);
  const std::string name = ScmName("status");
  for (int i = 0; i < kCapacity; ++i) {
    ASSERT_EQ(ScmMemQueuePut(name.c_str(), "x", 1), OK);
  }
  const uint8_t payload[] = {1};
  EXPECT_EQ(HNFiff_RemoteControlSnd(payload, 1, 0), 0);
  ASSERT_EQ(ScmMemQueueClear(name.c_str()), OK);
  EXPECT_EQ(HNFiff_RemoteControlSnd(payload, 1, 0), 1);
  EXPECT_TRUE(TakeEvents().empty());
}

TEST_F(FwCommandChannel, OversizeResponseIsRefused) {
  uint8_t* cursor = nullptr;
  EXPECT_EQ(HNFiff_GetCMDRSendBuffer(4, 277, 0, &cursor), nullptr);
  EXPECT_EQ(HNFiff_GetCMDRSendBuffer(4, 0xFFFFFFFFu, 0, &cursor), nullptr);
  EXPECT_EQ(TakeCodes(), (std::vector<uint32_t>{0x92008197, 0x92008197}));
}

}  // namespace
}  // namespace FwTest
