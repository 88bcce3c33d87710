// The read request of the Qor variable channel: the single byte 0 = the
// variable number with every flag clear.
#pragma once
#include "ScmTypes.h"

namespace Sio {

/// Highest variable number plus one.
inline constexpr u8 ms_VariableCount = 8;

/// Writes the request for variable into out and returns its length 1. Null out
/// 0xE200; capacity 0 0xE2CD (i1 0); variable 8 or more 0xE2CE (i1 the number).
u8 EncodeReadRequest(u8 variable, u8 capacity, u8* out);

}  // namespace Sio
