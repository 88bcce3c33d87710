#include "FuzzFrames.h"

namespace ScmFuzz {

namespace {
/// Stores a CRC of the given width low byte first.
void PutCrc(TestFrames::Bytes& frame, std::size_t at, u16 crc, std::size_t width) {
  frame[at] = static_cast<u8>(crc);
  if (width == 2) frame[at + 1] = static_cast<u8>(crc >> 8);
}
/// XORs TWO's coded bytes with the UDID.
void Code(TestFrames::Bytes& frame, std::size_t two, const TestFrames::Udid& udid) {
  for (std::size_t i = 0; i < TestFrames::Offsets::CodedBytes && two + i < frame.size(); ++i) {
    frame[two + i] = static_cast<u8>(frame[two + i] ^ udid[i]);
  }
}
}  // namespace

void SealFrame(TestFrames::Bytes& frame, const TestFrames::Udid* scmUdid) {
  using namespace TestFrames;
  if (frame.size() < Offsets::OnePayload) return;
  const u8 id = static_cast<u8>(frame[Offsets::OneIdAdrHigh] >> 2);
  const std::size_t le = frame[Offsets::OneLe];
  if (frame.size() != FrameLength(id, le)) return;
  const std::size_t width = CrcWidth(le);
  const std::size_t crc1At = Offsets::OnePayload + le;
  PutCrc(frame, crc1At, FrameCrc(id, le, frame.data(), crc1At), width);
  const std::size_t two = SubFrameTwoOffset(le);
  const bool coded = scmUdid != nullptr && !IsSnmtId(id);
  if (coded) Code(frame, two, *scmUdid);
  const std::size_t crc2At = frame.size() - width;
  PutCrc(frame, crc2At, FrameCrc(id, le, frame.data() + two, crc2At - two), width);
  if (coded) Code(frame, two, *scmUdid);
}

}  // namespace ScmFuzz
