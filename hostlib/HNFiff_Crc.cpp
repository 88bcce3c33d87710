#include "HNFiff_Crc.h"

namespace {

/// Entry i: the register after shifting byte i, placed in the top byte, through
/// eight steps of the polynomial. Evaluated at compile time, so the tables are constant data.
template <typename T, unsigned Width>
constexpr std::array<T, 256> MakeTable(T polynomial) {
  std::array<T, 256> table{};
  constexpr T top = static_cast<T>(T{1} << (Width - 1));
  for (unsigned i = 0; i < 256; ++i) {
    T reg = static_cast<T>(static_cast<T>(i) << (Width - 8));
    for (int bit = 0; bit < 8; ++bit) {
      reg = (reg & top) ? static_cast<T>(static_cast<T>(reg << 1) ^ polynomial)
                        : static_cast<T>(reg << 1);
    }
    table[i] = reg;
  }
  return table;
}

template <typename T, unsigned Width>
T Run(const std::array<T, 256>& table, T seed, i32 length, const void* data) {
  if (data == nullptr) {
    return 0;
  }
  if (length <= 0) {
    return seed;
  }
  const u8* bytes = static_cast<const u8*>(data);
  T crc = seed;
  for (i32 i = 0; i < length; ++i) {
    if constexpr (Width == 8) {
      crc = table[static_cast<u8>(crc ^ bytes[i])];
    } else {
      const u8 index = static_cast<u8>((crc >> (Width - 8)) ^ bytes[i]);
      crc = static_cast<T>(static_cast<T>(crc << 8) ^ table[index]);
    }
  }
  return crc;
}

}  // namespace

constinit const std::array<u8, 256> HNFiff_gaucCrc8Tab = MakeTable<u8, 8>(0x2F);
constinit const std::array<u16, 256> HNFiff_gausCrc16Tab = MakeTable<u16, 16>(0x5935);
constinit const std::array<u16, 256> HNFiff_gausCrc16_755B_Tab = MakeTable<u16, 16>(0x755B);
constinit const std::array<u32, 256> HNFiff_gaulCrc32Tab = MakeTable<u32, 32>(0x1EDC6F41u);

u8 HNFiff_Crc8CalcSwp(u8 seed, i32 length, const void* data) {
  return Run<u8, 8>(HNFiff_gaucCrc8Tab, seed, length, data);
}

u16 HNFiff_Crc16CalcSwp(u16 seed, i32 length, const void* data) {
  return Run<u16, 16>(HNFiff_gausCrc16Tab, seed, length, data);
}

u16 HNFiff_Crc16_755B_CalcSwp(u16 seed, i32 length, const void* data) {
  return Run<u16, 16>(HNFiff_gausCrc16_755B_Tab, seed, length, data);
}

u32 HNFiff_Crc32CalcSwp(u32 seed, i32 length, const void* data) {
  return Run<u32, 32>(HNFiff_gaulCrc32Tab, seed, length, data);
}
