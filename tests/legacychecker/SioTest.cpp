// The Qor variable channel messages of the older checker: every flag
// combination of byte 0, the field readers' length checks, null data, the
// result bound to the caller's buffer, and the read request encoder; none of
// it allocates.
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <vector>

#include "CException.h"
#include "CountingAllocator.h"
#include "ErrorCodes.h"
#include "Sio/CDecodedMessageHandler.h"
#include "Sio/CDecodedReadResponse.h"
#include "Sio/CMessageDecoder.h"
#include "Sio/EncodeReadRequest.h"

namespace {

using Util::CException;
using Util::ErrorCodes;
using Bytes = std::vector<uint8_t>;

/// Runs action and returns the CException it throws (none when it returns).
template <class TAction>
std::optional<CException> Thrown(TAction action) {
  try {
    action();
  } catch (const CException& error) {
    return error;
  }
  return std::nullopt;
}

/// Counts read responses and remembers the last.
class RecordingHandler : public Sio::CDecodedMessageHandler {
 public:
  void VisitReadResponse(const Sio::CDecodedReadResponse& response) override {
    ++visits;
    last = &response;
  }
  int visits = 0;                                     ///< read responses seen
  const Sio::CDecodedReadResponse* last = nullptr;   ///< the last one
};

TEST(SioDecoderTest, OnlyDirectionAloneOfTheThreeFlagsIsAReadResponse) {
  Sio::CMessageDecoder decoder;
  TestAlloc::CAllocationSpan span;
  int readResponses = 0;
  for (unsigned flags = 0; flags < 8; ++flags) {
    const uint8_t b0 = static_cast<uint8_t>(((flags & 1) ? 0x20 : 0) | ((flags & 2) ? 0x40 : 0) |
                                            ((flags & 4) ? 0x80 : 0) | 0x04);
    const uint8_t message[3] = {b0, 1, 0xAB};
    RecordingHandler handler;
    decoder.GetDecodedMessage(3, message)->Accept(handler);
    const bool expected = b0 == 0x84;
    EXPECT_EQ(handler.visits, expected ? 1 : 0) << std::hex << int(b0);
    EXPECT_EQ(Sio::CDecodedMessage::GetVariable(3, message), 4);
    EXPECT_EQ(Sio::CDecodedMessage::GetCommand(3, message), (flags & 1) != 0);
    EXPECT_EQ(Sio::CDecodedMessage::GetStatus(3, message), (flags & 2) != 0);
    EXPECT_EQ(Sio::CDecodedMessage::GetDirection(3, message), (flags & 4) != 0);
    readResponses += handler.visits;
  }
  EXPECT_EQ(readResponses, 1);
  EXPECT_EQ(span.Count(), 0);
}

TEST(SioDecoderTest, ReadResponseOfVariableFourCarriesEighteenBytesInTheCallersBuffer) {
  Bytes message{0x84, 0x12};
  for (uint8_t i = 0; i < 18; ++i) message.push_back(static_cast<uint8_t>(0x30 + i));
  Sio::CMessageDecoder decoder;
  RecordingHandler handler;
  decoder.GetDecodedMessage(static_cast<uint8_t>(message.size()), message.data())->Accept(handler);
  ASSERT_EQ(handler.visits, 1);
  EXPECT_EQ(handler.last->GetPayloadLength(), 18);
  EXPECT_EQ(handler.last->GetPayload(), message.data() + 2);
  // Bound to the caller's bytes until the next call: a change shows through.
  message[1] = 5;
  EXPECT_EQ(handler.last->GetPayloadLength(), 5);
  const uint8_t other[3] = {0x83, 1, 9};
  decoder.GetDecodedMessage(3, other);
  EXPECT_EQ(handler.last->GetPayload(), other + 2);
}

struct LengthCase {
  const char* reader;   ///< field read
  uint8_t length;       ///< message length
  uint16_t code;        ///< expected code, 0 = no throw
  uint32_t info1;       ///< expected information1
};

TEST(SioDecoderTest, EveryReaderChecksTheLengthItNeeds) {
  const uint8_t message[3] = {0x84, 1, 7};
  const LengthCase cases[] = {
      {"variable", 0, ErrorCodes::ms_QorMessageTooShort, 0}, {"variable", 1, 0, 0},
      {"command", 0, ErrorCodes::ms_QorMessageTooShort, 0},  {"status", 0, ErrorCodes::ms_QorMessageTooShort, 0},
      {"direction", 0, ErrorCodes::ms_QorMessageTooShort, 0}, {"decoder", 0, ErrorCodes::ms_QorMessageTooShort, 0},
      {"decoder", 1, 0, 0},
      {"payloadLength", 0, ErrorCodes::ms_QorMessageTooShort, 0},
      {"payloadLength", 1, ErrorCodes::ms_QorMessageTooShort, 1}, {"payloadLength", 2, 0, 0},
      {"payload", 2, ErrorCodes::ms_QorMessageTooShort, 2},       {"payload", 3, 0, 0},
  };
  Sio::CMessageDecoder decoder;
  for (const LengthCase& c : cases) {
    const std::string reader = c.reader;
    const auto error = Thrown([&] {
      if (reader == "variable") Sio::CDecodedMessage::GetVariable(c.length, message);
      if (reader == "command") Sio::CDecodedMessage::GetCommand(c.length, message);
      if (reader == "status") Sio::CDecodedMessage::GetStatus(c.length, message);
      if (reader == "direction") Sio::CDecodedMessage::GetDirection(c.length, message);
      if (reader == "decoder") decoder.GetDecodedMessage(c.length, message);
      if (reader == "payloadLength") Sio::CDecodedReadResponse::GetPayloadLength(c.length, message);
      if (reader == "payload") Sio::CDecodedReadResponse::GetPayload(c.length, message);
    });
    if (c.code == 0) {
      EXPECT_FALSE(error.has_value()) << reader << " " << int(c.length);
    } else {
      ASSERT_TRUE(error.has_value()) << reader << " " << int(c.length);
      EXPECT_EQ(error->GetCode(), c.code) << reader << " " << int(c.length);
      EXPECT_EQ(error->GetInformation1(), c.info1) << reader << " " << int(c.length);
    }
  }
}

TEST(SioDecoderTest, NullDataIsAnInternalError) {
  Sio::CMessageDecoder decoder;
  for (const auto& error :
       {Thrown([&] { decoder.GetDecodedMessage(3, nullptr); }),
        Thrown([] { Sio::CDecodedMessage::GetVariable(3, nullptr); }),
        Thrown([] { Sio::CDecodedReadResponse::GetPayloadLength(3, nullptr); }),
        Thrown([] { Sio::CDecodedReadResponse::GetPayload(3, nullptr); })}) {
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->GetCode(), ErrorCodes::ms_InternalError);
  }
}

TEST(SioEncoderTest, ReadRequestIsTheVariableNumberAlone) {
  TestAlloc::CAllocationSpan span;
  for (uint8_t variable = 0; variable <= 8; ++variable) {
    uint8_t out[2] = {0xEE, 0xEE};
    const auto error = Thrown([&] { EXPECT_EQ(Sio::EncodeReadRequest(variable, 2, out), 1); });
    if (variable < 8) {
      EXPECT_FALSE(error.has_value());
      EXPECT_EQ(out[0], variable);
      EXPECT_EQ(out[1], 0xEE);
    } else {
      ASSERT_TRUE(error.has_value());
      EXPECT_EQ(error->GetCode(), ErrorCodes::ms_QorVariableNumber);
      EXPECT_EQ(error->GetInformation1(), 8u);
      EXPECT_EQ(out[0], 0xEE);
    }
  }
  uint8_t out[1] = {0xEE};
  const auto noRoom = Thrown([&] { Sio::EncodeReadRequest(4, 0, out); });
  ASSERT_TRUE(noRoom.has_value());
  EXPECT_EQ(noRoom->GetCode(), ErrorCodes::ms_QorRequestNoRoom);
  EXPECT_EQ(noRoom->GetInformation1(), 0u);
  const auto null = Thrown([] { Sio::EncodeReadRequest(4, 1, nullptr); });
  ASSERT_TRUE(null.has_value());
  EXPECT_EQ(null->GetCode(), ErrorCodes::ms_InternalError);
  EXPECT_EQ(span.Count(), 0);
}

}  // namespace
