#include "HostUnlock.h"

namespace ScmSim {

namespace {
void Put32(Bytes& b, size_t at, uint32_t v) {
  for (size_t i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}
uint32_t Get32(const Bytes& b, size_t at) {
  return static_cast<uint32_t>(b[at]) | (static_cast<uint32_t>(b[at + 1]) << 8) |
         (static_cast<uint32_t>(b[at + 2]) << 16) | (static_cast<uint32_t>(b[at + 3]) << 24);
}
}  // namespace

std::string CompanionName(const std::string& name) { return name + ".swp"; }

std::optional<Bytes> LockForDownload(const Bytes& plain, uint32_t word) {
  if (plain.size() < kLockedBytes) return std::nullopt;
  Bytes locked = plain;
  for (size_t i = 0; i < kLockedBytes; ++i) locked[i] = static_cast<uint8_t>(locked[i] ^ (word >> (8 * i)));
  return locked;
}

std::optional<Bytes> UnlockRequestMessage(uint32_t identifier, const std::string& name, uint32_t word) {
  if (name.size() > kUnlockNameSize) return std::nullopt;
  Bytes m(kUnlockRequestSize, 0);
  Put32(m, 0, identifier);
  for (size_t i = 0; i < name.size(); ++i) m[4 + i] = static_cast<uint8_t>(name[i]);
  Put32(m, 4 + kUnlockNameSize, word);
  return m;
}

std::optional<UnlockResponse> DecodeUnlockResponse(const Bytes& bytes) {
  if (bytes.size() != kUnlockResponseSize) return std::nullopt;
  return UnlockResponse{Get32(bytes, 0), static_cast<int32_t>(Get32(bytes, 4))};
}

}  // namespace ScmSim
