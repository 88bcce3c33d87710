// Frame helpers of the fuzz targets: the CRCs of a mutated frame recomputed so
// that mutations get past the CRC checks.
#pragma once
#include "FrameBuilder.h"

namespace ScmFuzz {

/// Recomputes CRC1 and CRC2 of a frame in queue form whose length matches its
/// ID and LE (other frames stay as they are). With scmUdid, TWO's coded bytes
/// are decoded first and coded again after (frames the firmware codes).
void SealFrame(TestFrames::Bytes& frame, const TestFrames::Udid* scmUdid);

}  // namespace ScmFuzz
