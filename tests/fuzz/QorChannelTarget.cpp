// Surface 11: the older checker's Qor variable channel. The controller's
// answer on channel 6 goes through the message decoder and its field readers
// (Sio) and through the variable storage's read of variable 4, which copies
// the payload into the caller's buffer. Input: the caller's maximum length,
// then the controller's answer (the receive takes at most 200 bytes).
// Promises: every outcome is the one the message's bytes call for (a read
// response only for the direction flag alone; each reader's length check; the
// storage's codes with their information), nothing is written beyond the
// payload into the caller's buffer, and only Util::CException leaves.
#include <algorithm>
#include <cstring>
#include <optional>
#include <string>

#include "CChannelQorVariableStorage.h"
#include "CException.h"
#include "CheckerTestDomain.h"
#include "FuzzTarget.h"
#include "ScmSystemCalls.h"
#include "Sio/CDecodedMessageHandler.h"
#include "Sio/CDecodedReadResponse.h"
#include "Sio/CMessageDecoder.h"
#include "rtp_mem_control.h"

namespace ScmFuzz {

namespace {

constexpr u16 kSdn = 7;              ///< the domain the checker reads
constexpr std::size_t kReceiveMax = 200;  ///< the channel's receive size
constexpr u8 kCanary = 0xA5;          ///< the caller's buffer before the read
constexpr u16 kTooShort = 0xE2D1;     ///< message too short for the field read
constexpr u16 kNoReadResponse = 0xE23D;
constexpr u16 kPayloadTooLong = 0xE23E;

/// The answer the controller gives to the next request; the microsecond counter.
Bytes g_Answer;
u64 g_Counter = 0;

std::string Hex(u32 value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%X", static_cast<unsigned>(value));
  return text;
}

/// Runs f and gives the code and information1 of the CException it throws, none when it returns.
template <typename F>
std::optional<std::pair<u16, u32>> Thrown(F&& f) {
  try {
    f();
  } catch (const Util::CException& e) {
    return std::make_pair(e.GetCode(), e.GetInformation1());
  }
  return std::nullopt;
}

void Expect(const std::optional<std::pair<u16, u32>>& got, u16 code, u32 information1, const std::string& what) {
  Require(got.has_value(), what + ": returned, expected " + Hex(code));
  Require(got->first == code && got->second == information1,
          what + ": " + Hex(got->first) + " i1 " + Hex(got->second) + ", expected " + Hex(code) + " i1 " +
              Hex(information1));
}

/// Counts the read responses a decoded message hands to its handler.
class Visits : public Sio::CDecodedMessageHandler {
 public:
  void VisitReadResponse(const Sio::CDecodedReadResponse& response) override {
    ++readResponses;
    payloadLength = response.GetPayloadLength();
  }
  int readResponses = 0;
  u8 payloadLength = 0;
};

/// The decoder and the static field readers over the message.
void DecodeMessage(const Bytes& message) {
  const auto length = static_cast<u8>(std::min<std::size_t>(message.size(), 255));
  Bytes copy(message.begin(), message.begin() + length);
  const u8* data = Buffer(copy);
  Sio::CMessageDecoder decoder;
  if (length == 0) {
    Expect(Thrown([&] { (void)decoder.GetDecodedMessage(length, data); }), kTooShort, 0, "empty message decoded");
    Expect(Thrown([&] { (void)Sio::CDecodedMessage::GetVariable(length, data); }), kTooShort, 0, "variable of nothing");
    return;
  }
  const u8 first = data[0];
  Require(Sio::CDecodedMessage::GetVariable(length, data) == (first & 0x07), "variable number");
  Require(Sio::CDecodedMessage::GetCommand(length, data) == ((first & 0x20) != 0), "command flag");
  Require(Sio::CDecodedMessage::GetStatus(length, data) == ((first & 0x40) != 0), "status flag");
  Require(Sio::CDecodedMessage::GetDirection(length, data) == ((first & 0x80) != 0), "direction flag");
  const bool readResponse = (first & 0xE0) == 0x80;
  Require(Sio::CDecodedReadResponse::IsReadResponse(length, data) == readResponse, "read response test");
  if (length < 2) {
    Expect(Thrown([&] { (void)Sio::CDecodedReadResponse::GetPayloadLength(length, data); }), kTooShort, length,
           "payload length of a 1-byte message");
  } else {
    Require(Sio::CDecodedReadResponse::GetPayloadLength(length, data) == data[1], "payload length");
  }
  if (length < 3) {
    Expect(Thrown([&] { (void)Sio::CDecodedReadResponse::GetPayload(length, data); }), kTooShort, length,
           "payload of a short message");
  } else {
    Require(Sio::CDecodedReadResponse::GetPayload(length, data) == data + 2, "payload in the caller's buffer");
  }
  Visits visits;
  const std::optional<std::pair<u16, u32>> visited =
      Thrown([&] { decoder.GetDecodedMessage(length, data)->Accept(visits); });
  if (!readResponse) {
    Require(!visited && visits.readResponses == 0, "an unknown message visits nothing");
  } else if (length < 2) {
    Expect(visited, kTooShort, length, "visit of a 1-byte read response");
  } else {
    Require(!visited && visits.readResponses == 1 && visits.payloadLength == data[1], "one read response visited");
  }
}

/// The host calls of one read of variable 4: state 0, the answer on channel 6, the counter moving 1 s a read.
_Vx_usr_arg_t Serve(const _Vx_usr_arg_t w[8], int number) {
  auto out = [](_Vx_usr_arg_t word) { return reinterpret_cast<u32*>(static_cast<std::uintptr_t>(word)); };
  switch (number) {
    case SCM_SC_GET_USEC_COUNTER:
      g_Counter += 1000000;
      *out(w[0]) = static_cast<u32>(g_Counter);
      *out(w[1]) = static_cast<u32>(g_Counter >> 32);
      return 0;
    case SCM_SC_GET_QOR_FAIL_SAFE_STATE:
      *reinterpret_cast<u8*>(static_cast<std::uintptr_t>(w[1])) = 0;
      return 0;
    case SCM_SC_OPEN_CHANNEL:
      *out(w[4]) = 1;
      return 0;
    case SCM_SC_SEND_CHANNEL:
      *out(w[3]) = static_cast<u32>(w[1]);
      return 0;
    case SCM_SC_RECEIVE_CHANNEL: {
      const std::size_t n = std::min<std::size_t>(g_Answer.size(), static_cast<std::size_t>(w[1]));
      if (n != 0) std::memcpy(reinterpret_cast<void*>(static_cast<std::uintptr_t>(w[2])), g_Answer.data(), n);
      g_Answer.clear();
      *out(w[3]) = static_cast<u32>(n);
      return 0;
    }
    default:
      return 0;
  }
}

/// The storage's read of variable 4 with the caller's maximum over the answer.
void ReadVariable(u8 maximum, const Bytes& answer) {
  ScmMemReset();
  SetCheckerTestDomain(kSdn);
  ScmMemSetSyscallHook(Serve);
  g_Counter = 0;
  g_Answer.assign(answer.begin(), answer.begin() + static_cast<std::ptrdiff_t>(std::min(answer.size(), kReceiveMax)));
  const Bytes received = g_Answer;
  const std::size_t length = received.size();
  u8 destination[256];
  std::memset(destination, kCanary, sizeof destination);
  Main::CChannelQorVariableStorage storage;
  u8 got = 0;
  const std::optional<std::pair<u16, u32>> thrown = Thrown([&] { got = storage.Read(4, maximum, destination); });
  std::size_t written = 0;
  const bool readResponse = length != 0 && (received[0] & 0xE0) == 0x80;
  if (length == 0) {
    Expect(thrown, kTooShort, 0, "no answer within 10 s");
  } else if (!readResponse) {
    Expect(thrown, kNoReadResponse, thrown ? thrown->second : 0, "no read response");
  } else if (length < 2) {
    Expect(thrown, kTooShort, 1, "a 1-byte read response");
  } else if (received[1] > maximum) {
    Expect(thrown, kPayloadTooLong, received[1], "payload above the maximum");
  } else if (length < received[1] + 2u) {
    Expect(thrown, kTooShort, static_cast<u32>(length), "answer shorter than its payload");
  } else {
    Require(!thrown, "a whole read response returns");
    Require(got == received[1], "the payload length returned");
    Require(std::memcmp(destination, received.data() + 2, got) == 0, "the payload copied");
    written = got;
  }
  Require(storage.HasFailed() == thrown.has_value(), "the failed latch follows the outcome");
  for (std::size_t i = written; i < sizeof destination; ++i) {
    Require(destination[i] == kCanary, "nothing written beyond the payload");
  }
  ScmMemReset();
}

/// A read response of variable 4 announcing n bytes and carrying count bytes.
Bytes Answer(u8 first, u8 n, std::size_t count) {
  Bytes b = {first, n};
  for (std::size_t i = 0; i < count; ++i) b.push_back(static_cast<u8>(0x30 + i));
  return b;
}

}  // namespace

std::vector<Bytes> Seeds() {
  return {Prefixed(18, Answer(0x84, 18, 18)),  // the identity
          Prefixed(18, Answer(0x84, 0, 0)),    // a variable never written
          Prefixed(18, Answer(0x84, 19, 19)),  // longer than the caller takes
          Prefixed(18, Answer(0x84, 18, 10)),  // shorter than it announces
          Prefixed(18, Answer(0xC4, 0, 0)),    // an error answer
          Prefixed(18, Answer(0xA4, 0, 0)),    // a write's answer
          Prefixed(18, Bytes{0x84}),           // the flag byte alone
          Prefixed(18, Bytes{}),               // no answer
          Prefixed(255, Answer(0x85, 198, 198))};
}

void RunOne(const std::uint8_t* data, std::size_t size) {
  InputReader in(data, size);
  const u8 maximum = in.U8();
  const Bytes answer = in.Rest();
  try {
    DecodeMessage(answer);
    ReadVariable(maximum, answer);
  } catch (const Util::CException& e) {
    Finding("escaped " + Hex(e.GetCode()) + " i1 " + Hex(e.GetInformation1()));
  }
}

}  // namespace ScmFuzz
