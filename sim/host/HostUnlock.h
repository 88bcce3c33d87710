// The host's side of a file download: a file locked with an unlock word (its
// first four bytes XOR-ed with the word, byte 0 with the word's low byte) and
// its ".swp" companion holding the four plain bytes; the unlock request
// (u32 identifier, 13 name bytes, u32 word) and the unlock response
// (u32 identifier, i32 result), all little-endian.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace ScmSim {

using Bytes = std::vector<uint8_t>;  ///< raw bytes

/// Bytes of an unlock request.
inline constexpr size_t kUnlockRequestSize = 21;
/// Bytes of the name field of an unlock request.
inline constexpr size_t kUnlockNameSize = 13;
/// Bytes of an unlock response.
inline constexpr size_t kUnlockResponseSize = 8;
/// Bytes locked by the word.
inline constexpr size_t kLockedBytes = 4;

/// One decoded unlock response.
struct UnlockResponse {
  uint32_t identifier = 0;  ///< the request's identifier, echoed
  int32_t result = 0;       ///< 0 unlocked, -1 refused or failed
  bool operator==(const UnlockResponse&) const = default;
};

/// Name of a file's companion: the name with ".swp" appended.
std::string CompanionName(const std::string& name);
/// The locked form of a file; none for a file under four bytes.
std::optional<Bytes> LockForDownload(const Bytes& plain, uint32_t word);
/// An unlock request; none for a name of more than 13 bytes (13 bytes go without a NUL).
std::optional<Bytes> UnlockRequestMessage(uint32_t identifier, const std::string& name, uint32_t word);
/// The fields of an unlock response; none unless it has 8 bytes.
std::optional<UnlockResponse> DecodeUnlockResponse(const Bytes& bytes);

}  // namespace ScmSim
