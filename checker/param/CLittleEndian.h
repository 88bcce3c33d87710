// Little-endian byte access to file buffers, one byte at a time, so that no
// buffer is ever read through a structure or an unaligned pointer.
#pragma once
#include "ScmTypes.h"

namespace Param {

class CLittleEndian {
 public:
  /// The u16 stored low byte first at data.
  static u16 GetU16(const u8* data) { return static_cast<u16>(data[0] | (data[1] << 8)); }
  /// The u32 stored low byte first at data.
  static u32 GetU32(const u8* data) {
    return static_cast<u32>(data[0]) | (static_cast<u32>(data[1]) << 8) | (static_cast<u32>(data[2]) << 16) |
           (static_cast<u32>(data[3]) << 24);
  }
  /// The u64 stored low byte first at data.
  static u64 GetU64(const u8* data) {
    return static_cast<u64>(GetU32(data)) | (static_cast<u64>(GetU32(data + 4)) << 32);
  }
  /// Stores value low byte first at data.
  static void PutU16(u8* data, u16 value) {
    data[0] = static_cast<u8>(value);
    data[1] = static_cast<u8>(value >> 8);
  }
  /// Stores value low byte first at data.
  static void PutU32(u8* data, u32 value) {
    for (unsigned i = 0; i < 4; ++i) {
      data[i] = static_cast<u8>(value >> (8 * i));
    }
  }
  /// Stores value low byte first at data.
  static void PutU64(u8* data, u64 value) {
    PutU32(data, static_cast<u32>(value));
    PutU32(data + 4, static_cast<u32>(value >> 32));
  }

  CLittleEndian() = delete;
};

}  // namespace Param
