// Table-driven CRC routines shared by both programs.
//
// All four are MSB-first (unreflected), start from the caller's seed, apply no
// final XOR and do not swap the result: "Swp" in the names is historical. A
// caller storing a CRC-16/32 chooses the byte order itself (little-endian in
// files, low byte first in frames). Chaining: pass the previous result as seed.
//
//   data == nullptr     -> 0
//   length <= 0         -> seed unchanged
#pragma once
#include <array>

#include "ScmTypes.h"

/// CRC-8, polynomial 0x2F: sub-frame checksums up to 8 payload bytes.
extern const std::array<u8, 256> HNFiff_gaucCrc8Tab;
/// CRC-16, polynomial 0x5935: slim SSDO frames.
extern const std::array<u16, 256> HNFiff_gausCrc16Tab;
/// CRC-16, polynomial 0x755B: normal frames above 8 payload bytes and file records.
extern const std::array<u16, 256> HNFiff_gausCrc16_755B_Tab;
/// CRC-32, polynomial 0x1EDC6F41: files, memory and executable checks.
extern const std::array<u32, 256> HNFiff_gaulCrc32Tab;

u8 HNFiff_Crc8CalcSwp(u8 seed, i32 length, const void* data);
u16 HNFiff_Crc16CalcSwp(u16 seed, i32 length, const void* data);
u16 HNFiff_Crc16_755B_CalcSwp(u16 seed, i32 length, const void* data);
u32 HNFiff_Crc32CalcSwp(u32 seed, i32 length, const void* data);
