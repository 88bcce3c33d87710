#include "FileBytes.h"

namespace TestFiles {

void PutU16(Bytes& bytes, std::size_t offset, std::uint16_t value) {
  bytes.at(offset) = static_cast<std::uint8_t>(value);
  bytes.at(offset + 1) = static_cast<std::uint8_t>(value >> 8);
}

void PutU32(Bytes& bytes, std::size_t offset, std::uint32_t value) {
  for (std::size_t i = 0; i < 4; ++i) {
    bytes.at(offset + i) = static_cast<std::uint8_t>(value >> (8 * i));
  }
}

void PutU64(Bytes& bytes, std::size_t offset, std::uint64_t value) {
  PutU32(bytes, offset, static_cast<std::uint32_t>(value));
  PutU32(bytes, offset + 4, static_cast<std::uint32_t>(value >> 32));
}

void AppendU16(Bytes& bytes, std::uint16_t value) {
  bytes.push_back(static_cast<std::uint8_t>(value));
  bytes.push_back(static_cast<std::uint8_t>(value >> 8));
}

void AppendU32(Bytes& bytes, std::uint32_t value) {
  for (std::size_t i = 0; i < 4; ++i) {
    bytes.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
  }
}

void Append(Bytes& bytes, const Bytes& tail) { bytes.insert(bytes.end(), tail.begin(), tail.end()); }

std::uint16_t GetU16(const Bytes& bytes, std::size_t offset) {
  return static_cast<std::uint16_t>(bytes.at(offset) | (bytes.at(offset + 1) << 8));
}

std::uint32_t GetU32(const Bytes& bytes, std::size_t offset) {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < 4; ++i) {
    value |= static_cast<std::uint32_t>(bytes.at(offset + i)) << (8 * i);
  }
  return value;
}

std::uint32_t Crc32(const std::uint8_t* data, std::size_t length, std::uint32_t seed) {
  std::uint32_t crc = seed;
  for (std::size_t i = 0; i < length; ++i) {
    crc ^= static_cast<std::uint32_t>(data[i]) << 24;
    for (int bit = 0; bit < 8; ++bit) {
      crc = (crc & 0x80000000u) != 0 ? (crc << 1) ^ 0x1EDC6F41u : crc << 1;
    }
  }
  return crc;
}

std::uint16_t Crc16(const std::uint8_t* data, std::size_t length) {
  std::uint16_t crc = 0;
  for (std::size_t i = 0; i < length; ++i) {
    crc = static_cast<std::uint16_t>(crc ^ (data[i] << 8));
    for (int bit = 0; bit < 8; ++bit) {
      crc = static_cast<std::uint16_t>((crc & 0x8000u) != 0 ? (crc << 1) ^ 0x755Bu : crc << 1);
    }
  }
  return crc;
}

Bytes BlockCrcList(const Bytes& area) {
  Bytes list;
  for (std::size_t done = 0; done < area.size(); done += 16384) {
    const std::size_t block = area.size() - done < 16384 ? area.size() - done : 16384;
    AppendU32(list, Crc32(area.data() + done, block));
  }
  return list;
}

Bytes Complement(const Bytes& bytes) {
  Bytes result(bytes);
  for (auto& b : result) {
    b = static_cast<std::uint8_t>(~b);
  }
  return result;
}

}  // namespace TestFiles
