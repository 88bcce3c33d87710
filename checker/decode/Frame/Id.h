// Classification of the 6-bit frame id into the groups of the frame format.
#pragma once
#include "ScmTypes.h"

namespace Frame {
namespace Id {

/// SNMT frames: bits 3..5 of the id equal 5 (0x28..0x2F).
bool IsSnmt(u8 id);
/// SPDO frames: bits 3..5 equal 6 (0x30..0x37).
bool IsSpdo(u8 id);
/// SSDO frames: bits 3..5 equal 7 (0x38..0x3F).
bool IsSsdo(u8 id);
/// Slim SSDO frames 0x3A and 0x3B: no payload copy in sub-frame TWO.
bool IsSlim(u8 id);
/// Every frame that is not slim.
bool IsBasic(u8 id);

}  // namespace Id
}  // namespace Frame
