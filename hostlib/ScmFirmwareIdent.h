// The firmware ident block: 256 constant bytes in each program's read-only
// data, bounded by the link symbols LdFwIdentStart and LdFwIdentEnd. Bytes 22
// to 25 hold the firmware ident word little-endian (upper 16 bits the release,
// lower 16 bits the build); every other byte is 0. The checker and the
// firmware exchange the word through host conditions 1 and 2, so that only the
// two programs of one build accept each other.
//
// The word comes from the build (compile definition SCM_FIRMWARE_IDENT, set
// from the CMake cache variable of the same name for every user of hostlib).
#pragma once

#include "ScmTypes.h"

#ifndef SCM_FIRMWARE_IDENT
#error "SCM_FIRMWARE_IDENT must be defined by the build"
#endif

static_assert(static_cast<unsigned long long>(SCM_FIRMWARE_IDENT) <= 0xFFFFFFFFull,
              "the firmware ident word has 32 bits");

/// Size of the ident block in bytes.
inline constexpr u32 SCM_FW_IDENT_BLOCK_SIZE = 256;
/// Offset of the little-endian ident word inside the block.
inline constexpr u32 SCM_FW_IDENT_WORD_OFFSET = 22;
/// The ident word this build carries.
inline constexpr u32 SCM_FW_IDENT_WORD = static_cast<u32>(SCM_FIRMWARE_IDENT);

extern "C" {
/// First byte of the ident block.
extern const u8 LdFwIdentStart[];
/// One past the last byte of the ident block.
extern const u8 LdFwIdentEnd[];
}
