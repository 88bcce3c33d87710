// Surface 1: the checker's frame decoder on whatever arrives as a frame, every
// getter and the visitor on what decodes (the decode tests' robustness driver).
// Input: one flag byte (bit 0: recompute both CRCs, bit 1: the frame carries
// the SCM-UDID coding), then the frame in queue form.
#include "DecoderDrivers.h"
#include "FrameKinds.h"
#include "FuzzFrames.h"
#include "FuzzTarget.h"

namespace ScmFuzz {

namespace {
constexpr u8 kSeal = 0x01;   ///< flag: recompute the CRCs
constexpr u8 kCoded = 0x02;  ///< flag: TWO carries the SCM-UDID coding
}  // namespace

std::vector<Bytes> Seeds() {
  std::vector<Bytes> seeds;
  for (const DecodeTest::FrameKind& kind : DecodeTest::FrameKinds()) {
    for (const bool slim : {false, true}) {
      if (slim && kind.slimId == 0) continue;
      for (const std::size_t le : {kind.leMin, kind.leMin + 4, std::size_t{254}}) {
        const TestFrames::FrameSpec spec = DecodeTest::KindSpec(kind, le, slim);
        seeds.push_back(Prefixed(static_cast<u8>(kSeal | (spec.scmUdid ? kCoded : 0)), TestFrames::BuildFrame(spec)));
      }
    }
  }
  return seeds;
}

void RunOne(const std::uint8_t* data, std::size_t size) {
  InputReader in(data, size);
  const u8 flags = in.U8();
  Bytes frame = in.Rest();
  if ((flags & kSeal) != 0) SealFrame(frame, (flags & kCoded) != 0 ? &DecodeTest::kScmUdid : nullptr);
  try {
    DecodeTest::DriveFrameDecoder(Buffer(frame), frame.size());
  } catch (const DecodeTest::DriverViolation& v) {
    Finding(v.what());
  }
}

}  // namespace ScmFuzz
