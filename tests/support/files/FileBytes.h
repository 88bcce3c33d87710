// Byte helpers for building files in tests: little-endian stores and loads,
// and bitwise CRCs of their own, so that expected bytes never come from the
// code under test.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

namespace TestFiles {

using Bytes = std::vector<std::uint8_t>;  ///< one file's bytes

void PutU16(Bytes& bytes, std::size_t offset, std::uint16_t value);
void PutU32(Bytes& bytes, std::size_t offset, std::uint32_t value);
void PutU64(Bytes& bytes, std::size_t offset, std::uint64_t value);
void AppendU16(Bytes& bytes, std::uint16_t value);
void AppendU32(Bytes& bytes, std::uint32_t value);
void Append(Bytes& bytes, const Bytes& tail);
std::uint16_t GetU16(const Bytes& bytes, std::size_t offset);
std::uint32_t GetU32(const Bytes& bytes, std::size_t offset);

/// CRC-32, polynomial 0x1EDC6F41, MSB first, seed as given, no final XOR.
std::uint32_t Crc32(const std::uint8_t* data, std::size_t length, std::uint32_t seed = 0);
/// CRC-16, polynomial 0x755B, MSB first, seed 0, no final XOR.
std::uint16_t Crc16(const std::uint8_t* data, std::size_t length);
/// The CRC-32 of each 16,384-byte block of an area, the last one shorter, as stored.
Bytes BlockCrcList(const Bytes& area);
/// Complements every byte.
Bytes Complement(const Bytes& bytes);

}  // namespace TestFiles
