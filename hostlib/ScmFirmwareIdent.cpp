#include "ScmFirmwareIdent.h"

#include <array>

namespace {

/// The block's bytes: zero except the ident word, little-endian at its offset.
constexpr std::array<u8, SCM_FW_IDENT_BLOCK_SIZE> MakeIdentBlock() {
  std::array<u8, SCM_FW_IDENT_BLOCK_SIZE> block{};
  for (u32 i = 0; i < 4; ++i) {
    block[SCM_FW_IDENT_WORD_OFFSET + i] = static_cast<u8>(SCM_FW_IDENT_WORD >> (8 * i));
  }
  return block;
}

}  // namespace

/// The ident block itself, constant data; the two link symbols bound it.
extern "C" __attribute__((used)) constinit const std::array<u8, SCM_FW_IDENT_BLOCK_SIZE> FirmwareIdentBlock =
    MakeIdentBlock();

// The bounding symbols are equated to the block's first byte and the byte after
// its last, so that their difference is the block's size in every program.
static_assert(SCM_FW_IDENT_BLOCK_SIZE == 256, "the symbol equates below assume 256 bytes");
asm(".globl LdFwIdentStart\n"
    ".globl LdFwIdentEnd\n"
    ".set LdFwIdentStart, FirmwareIdentBlock\n"
    ".set LdFwIdentEnd, FirmwareIdentBlock + 256\n");
