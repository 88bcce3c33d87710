// Little-endian access to file and message bytes, one byte at a time (no overlays).
#pragma once
#include "ScmTypes.h"

/// The u16 at p, least significant byte first.
inline u16 EPS_Rd16(const u8* p) { return static_cast<u16>(p[0] | (p[1] << 8)); }

/// The u32 at p, least significant byte first.
inline u32 EPS_Rd32(const u8* p) {
  return static_cast<u32>(p[0]) | (static_cast<u32>(p[1]) << 8) | (static_cast<u32>(p[2]) << 16) |
         (static_cast<u32>(p[3]) << 24);
}

/// Stores value at p, least significant byte first.
inline void EPS_Wr16(u8* p, u16 value) {
  p[0] = static_cast<u8>(value);
  p[1] = static_cast<u8>(value >> 8);
}

/// Stores value at p, least significant byte first.
inline void EPS_Wr32(u8* p, u32 value) {
  for (u32 i = 0; i < 4; ++i) {
    p[i] = static_cast<u8>(value >> (8 * i));
  }
}
