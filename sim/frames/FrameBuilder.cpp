#include "FrameBuilder.h"

#include "HNFiff_Crc.h"

namespace TestFrames {

namespace {

/// Largest LE below which (inclusive) the one-byte CRC is used.
constexpr std::size_t kCrc8LeMax = 8;
/// Header bytes of ONE and of TWO.
constexpr std::size_t kOneHeader = 4;
constexpr std::size_t kTwoHeader = 5;

/// Store a CRC of the given width at out[0..width-1], low byte first.
void PutCrc(u8* out, std::size_t width, u16 crc) {
  out[0] = static_cast<u8>(crc & 0xFF);
  if (width == 2) {
    out[1] = static_cast<u8>(crc >> 8);
  }
}

/// Read a CRC of the given width, low byte first.
u16 GetCrc(const u8* in, std::size_t width) {
  return width == 2 ? static_cast<u16>(in[0] | (in[1] << 8)) : in[0];
}

/// Length of sub-frame TWO without its CRC.
std::size_t TwoCoveredLength(u8 id, std::size_t le) { return kTwoHeader + (IsSlimId(id) ? 0 : le); }

}  // namespace

bool IsSlimId(u8 id) { return id == Ids::SlimSsdoRequest || id == Ids::SlimSsdoResponse; }

bool IsSnmtId(u8 id) { return (id & 0x38) == 0x28; }

std::size_t CrcWidth(std::size_t le) { return le <= kCrc8LeMax ? 1 : 2; }

std::size_t SubFrameTwoOffset(std::size_t le) { return kOneHeader + le + CrcWidth(le); }

std::size_t FrameLength(u8 id, std::size_t le) {
  return SubFrameTwoOffset(le) + TwoCoveredLength(id, le) + CrcWidth(le);
}

u16 FrameCrc(u8 id, std::size_t le, const u8* data, std::size_t n) {
  const i32 count = static_cast<i32>(n);
  if (CrcWidth(le) == 1) {
    return HNFiff_Crc8CalcSwp(0, count, data);
  }
  return IsSlimId(id) ? HNFiff_Crc16CalcSwp(0, count, data) : HNFiff_Crc16_755B_CalcSwp(0, count, data);
}

Bytes BuildFrame(const FrameSpec& fields) {
  const std::size_t le = fields.payload.size() & 0xFF;
  const u8 id = fields.id & 0x3F;
  const std::size_t w = CrcWidth(le);
  Bytes out(FrameLength(id, le), 0);

  u8* one = out.data();
  one[Offsets::OneAdrLow] = static_cast<u8>(fields.adr & 0xFF);
  one[Offsets::OneIdAdrHigh] = static_cast<u8>((id << 2) | ((fields.adr >> 8) & 3));
  one[Offsets::OneLe] = static_cast<u8>(le);
  one[Offsets::OneCtLow] = static_cast<u8>(fields.ct & 0xFF);
  for (std::size_t i = 0; i < le; ++i) {
    one[Offsets::OnePayload + i] = fields.payload[i];
  }
  PutCrc(one + kOneHeader + le, w, FrameCrc(id, le, one, kOneHeader + le));

  u8* two = out.data() + SubFrameTwoOffset(le);
  const u16 sdnField = static_cast<u16>((fields.adr ^ fields.sdn) & 0x3FF);
  two[Offsets::TwoSdnLow] = static_cast<u8>(sdnField & 0xFF);
  two[Offsets::TwoIdSdnHigh] = static_cast<u8>((id << 2) | (sdnField >> 8));
  two[Offsets::TwoCtHigh] = static_cast<u8>(fields.ct >> 8);
  two[Offsets::TwoTadrLow] = static_cast<u8>(fields.tadr & 0xFF);
  two[Offsets::TwoTrTadrHigh] = static_cast<u8>(((fields.tr & 0x3F) << 2) | ((fields.tadr >> 8) & 3));
  if (!IsSlimId(id)) {
    for (std::size_t i = 0; i < le; ++i) {
      two[Offsets::TwoPayload + i] = fields.payload[i];
    }
  }
  const std::size_t covered = TwoCoveredLength(id, le);
  PutCrc(two + covered, w, FrameCrc(id, le, two, covered));

  if (fields.scmUdid) {
    for (std::size_t i = 0; i < Offsets::CodedBytes; ++i) {
      two[i] ^= (*fields.scmUdid)[i];
    }
  }
  if (fields.extendedCt) {
    two[Offsets::TwoSdnLow] ^= (*fields.extendedCt)[0];
    two[Offsets::TwoIdSdnHigh] ^= (*fields.extendedCt)[1];
    two[Offsets::TwoTadrLow] ^= (*fields.extendedCt)[2];
  }
  return out;
}

FrameSpec WithFirmwareCoding(FrameSpec fields, const Udid& udid) {
  if (IsSnmtId(fields.id & 0x3F)) {
    fields.scmUdid.reset();
  } else {
    fields.scmUdid = udid;
  }
  return fields;
}

Bytes QueueToBlockForm(const Bytes& queueForm) {
  if (queueForm.size() <= Offsets::OneLe) {
    return {};
  }
  const u8 id = queueForm[Offsets::OneIdAdrHigh] >> 2;
  const std::size_t le = queueForm[Offsets::OneLe];
  if (queueForm.size() != FrameLength(id, le)) {
    return {};
  }
  const std::size_t twoAt = SubFrameTwoOffset(le);
  Bytes out(queueForm.begin() + static_cast<std::ptrdiff_t>(twoAt), queueForm.end());
  out.insert(out.end(), queueForm.begin(), queueForm.begin() + static_cast<std::ptrdiff_t>(twoAt));
  return out;
}

Bytes BlockToQueueForm(const Bytes& blockForm, u8 id, std::size_t le) {
  if (blockForm.size() != FrameLength(id, le)) {
    return {};
  }
  const std::size_t oneAt = blockForm.size() - SubFrameTwoOffset(le);
  Bytes out(blockForm.begin() + static_cast<std::ptrdiff_t>(oneAt), blockForm.end());
  out.insert(out.end(), blockForm.begin(), blockForm.begin() + static_cast<std::ptrdiff_t>(oneAt));
  return out;
}

ParsedFrame ParseFrame(const Bytes& queueForm, const ParseOptions& options) {
  ParsedFrame r;
  if (queueForm.size() <= Offsets::OneCtLow) {
    r.error = "shorter than the header of ONE";
    return r;
  }
  const u8* one = queueForm.data();
  r.id = one[Offsets::OneIdAdrHigh] >> 2;
  r.le = one[Offsets::OneLe];
  r.adr = static_cast<u16>(one[Offsets::OneAdrLow] | ((one[Offsets::OneIdAdrHigh] & 3) << 8));
  const std::size_t le = r.le;
  const std::size_t w = CrcWidth(le);
  r.expectedLength = FrameLength(r.id, le);
  if (queueForm.size() != r.expectedLength) {
    r.error = "length " + std::to_string(queueForm.size()) + " differs from " +
              std::to_string(r.expectedLength);
    return r;
  }
  r.payload.assign(one + Offsets::OnePayload, one + Offsets::OnePayload + le);
  r.crc1 = GetCrc(one + kOneHeader + le, w);
  r.crc1Ok = r.crc1 == FrameCrc(r.id, le, one, kOneHeader + le);

  Bytes two(queueForm.begin() + static_cast<std::ptrdiff_t>(SubFrameTwoOffset(le)), queueForm.end());
  if (options.extendedCt) {
    two[Offsets::TwoSdnLow] ^= (*options.extendedCt)[0];
    two[Offsets::TwoIdSdnHigh] ^= (*options.extendedCt)[1];
    two[Offsets::TwoTadrLow] ^= (*options.extendedCt)[2];
  }
  if (options.scmUdid) {
    for (std::size_t i = 0; i < Offsets::CodedBytes; ++i) {
      two[i] ^= (*options.scmUdid)[i];
    }
  }
  r.twoId = two[Offsets::TwoIdSdnHigh] >> 2;
  const u16 sdnField = static_cast<u16>(two[Offsets::TwoSdnLow] | ((two[Offsets::TwoIdSdnHigh] & 3) << 8));
  r.sdn = static_cast<u16>(sdnField ^ r.adr);
  r.ct = static_cast<u16>(one[Offsets::OneCtLow] | (two[Offsets::TwoCtHigh] << 8));
  r.tadr = static_cast<u16>(two[Offsets::TwoTadrLow] | ((two[Offsets::TwoTrTadrHigh] & 3) << 8));
  r.tr = two[Offsets::TwoTrTadrHigh] >> 2;
  const std::size_t covered = TwoCoveredLength(r.id, le);
  if (!IsSlimId(r.id)) {
    r.payloadTwo.assign(two.begin() + Offsets::TwoPayload,
                        two.begin() + static_cast<std::ptrdiff_t>(Offsets::TwoPayload + le));
  }
  r.crc2 = GetCrc(two.data() + covered, w);
  r.crc2Ok = r.crc2 == FrameCrc(r.id, le, two.data(), covered);
  r.payloadsEqual = IsSlimId(r.id) || r.payload == r.payloadTwo;

  if (!r.crc1Ok) {
    r.error = "CRC1 wrong";
  } else if (!r.crc2Ok) {
    r.error = "CRC2 wrong";
  } else if (r.twoId != r.id) {
    r.error = "id of TWO differs";
  } else if (!r.payloadsEqual) {
    r.error = "payloads differ";
  } else {
    r.ok = true;
  }
  return r;
}

}  // namespace TestFrames
