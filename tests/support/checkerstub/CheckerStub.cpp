#include "CheckerStub.h"

#include "ScmQueueNames.h"
#include "ScmSystemCalls.h"

namespace ScmTest {

namespace {
/// Bytes of an event record.
constexpr size_t kEventSize = 11;
/// Host condition the checker sets.
constexpr uint32_t kConditionOffer = 1;
/// Host condition the firmware sets.
constexpr uint32_t kConditionAnswer = 2;
}  // namespace

std::optional<StubEvent> DecodeComplementedEvent(const uint8_t* bytes, size_t length) {
  if (bytes == nullptr || length != kEventSize) {
    return std::nullopt;
  }
  uint8_t m[kEventSize];
  for (size_t i = 0; i < kEventSize; ++i) {
    m[i] = static_cast<uint8_t>(~bytes[i]);
  }
  StubEvent e{};
  e.level = m[0];
  e.code = m[1] | (m[2] << 8) | (m[3] << 16) | (static_cast<uint32_t>(m[4]) << 24);
  e.info0 = static_cast<uint16_t>(m[5] | (m[6] << 8));
  e.info1 = m[7] | (m[8] << 8) | (m[9] << 16) | (static_cast<uint32_t>(m[10]) << 24);
  return e;
}

CheckerStub::CheckerStub(uint16_t sdn) : sdn_(sdn) {}

CheckerStub::~CheckerStub() {
  if (event_ != nullptr) msgQClose(event_);
  if (command_ != nullptr) msgQClose(command_);
  if (give_ != nullptr) semClose(give_);
  if (take_ != nullptr) semClose(take_);
}

bool CheckerStub::Open() {
  char name[SCM_QUEUE_NAME_SIZE];
  if (ScmGetEventQueueFromScmName(sdn_, name) != nullptr) event_ = msgQOpen(name, 0, 0, 0, 0, nullptr);
  if (ScmGetCommandQueueToScmName(sdn_, name) != nullptr) command_ = msgQOpen(name, 0, 0, 0, 0, nullptr);
  if (ScmGetFrameQueueToScmName(sdn_, name) != nullptr) give_ = semOpen(name, 0, 0, 0, 0, nullptr);
  if (ScmGetFrameQueueFromScmName(sdn_, name) != nullptr) take_ = semOpen(name, 0, 0, 0, 0, nullptr);
  return event_ != nullptr && command_ != nullptr && give_ != nullptr && take_ != nullptr;
}

bool CheckerStub::OfferIdent(uint32_t value) { return ScmSetCondition(sdn_, kConditionOffer, value) == 0; }

std::optional<uint32_t> CheckerStub::AwaitIdent() {
  uint32_t value = 0;
  if (ScmWaitForCondition(sdn_, kConditionAnswer, &value) != 0) {
    return std::nullopt;
  }
  return value;
}

bool CheckerStub::Cycle(int timeoutMs) {
  if (semGive(give_) != OK) {
    return false;
  }
  const int ticks = timeoutMs * sysClkRateGet() / 1000;
  return semTake(take_, ticks > 0 ? ticks : 1) == OK;
}

bool CheckerStub::UnaskedAnswer() { return semTake(take_, NO_WAIT) == OK; }

std::vector<StubEvent> CheckerStub::TakeEvents() {
  std::vector<StubEvent> events;
  uint8_t buffer[64];
  for (;;) {
    const ssize_t n = msgQReceive(event_, reinterpret_cast<char*>(buffer), sizeof(buffer), NO_WAIT);
    if (n == ERROR) {
      break;
    }
    if (auto e = DecodeComplementedEvent(buffer, static_cast<size_t>(n))) {
      events.push_back(*e);
    }
  }
  return events;
}

bool CheckerStub::PutCommand(const std::vector<uint8_t>& plain) {
  std::vector<uint8_t> bytes(plain);
  for (auto& b : bytes) {
    b = static_cast<uint8_t>(~b);
  }
  return msgQSend(command_, reinterpret_cast<char*>(bytes.data()), static_cast<unsigned>(bytes.size()), NO_WAIT,
                  MSG_PRI_NORMAL) == OK;
}

}  // namespace ScmTest
