// Fixed-width integer names used throughout both programs.
#pragma once
#include <cstdint>

using u8 = std::uint8_t;    ///< unsigned 8-bit
using u16 = std::uint16_t;  ///< unsigned 16-bit
using u32 = std::uint32_t;  ///< unsigned 32-bit
using u64 = std::uint64_t;  ///< unsigned 64-bit
using i8 = std::int8_t;     ///< signed 8-bit
using i16 = std::int16_t;   ///< signed 16-bit
using i32 = std::int32_t;   ///< signed 32-bit
using i64 = std::int64_t;   ///< signed 64-bit
