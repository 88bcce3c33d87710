#include "QorController.h"

#include <algorithm>

namespace ScmSim {

namespace {
/// Byte-0 flag of a write request.
constexpr uint8_t kCommandFlag = 0x20;
/// Byte-0 flag of an error answer.
constexpr uint8_t kStatusFlag = 0x40;
/// Byte-0 flag of every answer.
constexpr uint8_t kDirectionFlag = 0x80;
/// Bits of byte 0 holding the variable number.
constexpr uint8_t kVariableMask = 0x07;
}  // namespace

int32_t QorController::Open(uint32_t sendSize, uint32_t receiveSize) {
  if (channels_.size() >= kMaxChannels) return -1;
  int32_t id = 1;
  while (channels_.count(id) != 0) ++id;
  channels_[id] = Channel{sendSize, receiveSize, {}};
  return id;
}

bool QorController::Close(int32_t handle) { return channels_.erase(handle) == 1; }

std::vector<uint8_t> QorController::Answer(const std::vector<uint8_t>& request) {
  if (!request.empty()) {
    const uint8_t b0 = request[0];
    const uint8_t variable = b0 & kVariableMask;
    if ((b0 & ~kVariableMask) == kCommandFlag && request.size() >= 2 &&
        request[1] <= kMaxPayload && request.size() == 2u + request[1]) {
      variables_[variable] = std::vector<uint8_t>(request.begin() + 2, request.end());
      return {static_cast<uint8_t>(variable | kCommandFlag | kDirectionFlag), 0};
    }
    if (b0 == variable && request.size() == 1) {
      const std::vector<uint8_t> value = variables_[variable].value_or(std::vector<uint8_t>{});
      std::vector<uint8_t> reply{static_cast<uint8_t>(variable | kDirectionFlag),
                                 static_cast<uint8_t>(value.size())};
      reply.insert(reply.end(), value.begin(), value.end());
      return reply;
    }
  }
  const uint8_t b0 = request.empty() ? 0 : request[0];
  return {static_cast<uint8_t>(b0 | kStatusFlag | kDirectionFlag), 0};
}

int32_t QorController::Send(int32_t handle, const std::vector<uint8_t>& request) {
  auto it = channels_.find(handle);
  if (it == channels_.end() || request.size() > it->second.sendSize) return -1;
  if (requests_.size() < kRequestsKept) requests_.push_back(request);
  QorReplyScript s;
  if (!script_.empty()) {
    s = script_.front();
    script_.pop_front();
  }
  Reply r{std::chrono::steady_clock::now() + s.delay, {}};
  switch (s.kind) {
    case QorReplyScript::Kind::Normal:
      r.bytes = Answer(request);
      break;
    case QorReplyScript::Kind::Raw:
      r.bytes = s.bytes;
      break;
    case QorReplyScript::Kind::None:
      return static_cast<int32_t>(request.size());
  }
  it->second.replies.push_back(std::move(r));
  return static_cast<int32_t>(request.size());
}

int32_t QorController::Receive(int32_t handle, uint32_t max, std::vector<uint8_t>& out) {
  out.clear();
  auto it = channels_.find(handle);
  if (it == channels_.end()) return -1;
  auto& replies = it->second.replies;
  if (replies.empty() || replies.front().ready > std::chrono::steady_clock::now()) return 0;
  const std::vector<uint8_t>& bytes = replies.front().bytes;
  out.assign(bytes.begin(), bytes.begin() + std::min<size_t>(bytes.size(), max));
  replies.pop_front();
  return static_cast<int32_t>(out.size());
}

bool QorController::SetVariable(unsigned variable, std::optional<std::vector<uint8_t>> value) {
  if (variable >= kVariables || (value && value->size() > kMaxPayload)) return false;
  variables_[variable] = std::move(value);
  return true;
}

std::optional<std::vector<uint8_t>> QorController::Variable(unsigned variable) const {
  if (variable >= kVariables) return std::nullopt;
  return variables_[variable];
}

}  // namespace ScmSim
