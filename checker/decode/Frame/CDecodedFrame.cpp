#include "CDecodedFrame.h"

#include "CException.h"
#include "CInternalError.h"
#include "CUdid.h"
#include "ErrorCodes.h"
#include "HNFiff_Crc.h"
#include "Id.h"

namespace Frame {

namespace {

/// Room for the copy of sub-frame TWO: 5 header bytes, up to 255 payload bytes, 2 CRC bytes.
constexpr u32 kSubFrame2CopySize = 262;
/// Bytes of TWO covered by the SCM-UDID coding.
constexpr u32 kCodedBytes = Util::CUdid::ms_Length;
/// Header bytes of ONE before the payload and of TWO before its payload or CRC.
constexpr u32 kSubFrame1HeaderLength = CDecodedFrame::ms_SubFrame1DbOffset;
constexpr u32 kSubFrame2HeaderLength = CDecodedFrame::ms_BasicSubFrame2DbOffset;
/// Fixed bytes of a frame besides payloads and CRCs: ONE's header and TWO's header.
constexpr u32 kFixedLength = kSubFrame1HeaderLength + kSubFrame2HeaderLength;

/// Frame CRC of the width and polynomial chosen by the CRC width and slimness.
u16 FrameCrc(u32 width, bool slim, u32 count, const u8* data) {
  const i32 n = static_cast<i32>(count);
  if (width == 1) {
    return HNFiff_Crc8CalcSwp(0, n, data);
  }
  return slim ? HNFiff_Crc16CalcSwp(0, n, data) : HNFiff_Crc16_755B_CalcSwp(0, n, data);
}

/// The CRC stored at data, one byte or a little-endian u16.
u16 StoredCrc(u32 width, const u8* data) {
  return width == 1 ? data[0] : static_cast<u16>(data[0] | (data[1] << 8));
}

/// Null frame 0xE200; length 10 or less 0xE2BE with the length.
void CheckRawFrame(u16 length, const u8* frame) {
  UTIL_CHECK(frame != nullptr);
  if (length < CDecodedFrame::ms_FrameLengthMin) {
    throw Util::CException(Util::ErrorCodes::ms_FrameTooShort, static_cast<u32>(length));
  }
}

}  // namespace

CDecodedFrame::CDecodedFrame()
    : m_pFrame(nullptr), m_Adr(0), m_Id(0), m_Le(0), m_Ct(0), m_Tadr(0), m_Tr(0), m_Sdn(0), m_Valid(false) {}

CDecodedFrame::~CDecodedFrame() { m_pFrame = nullptr; }

void CDecodedFrame::Initialize(u16 length, const u8* frame, const u8* key) {
  InitializeKind(length, frame, key, 0);
}

void CDecodedFrame::InitializeKind(u16 length, const u8* frame, const u8* key, u8 leMin) {
  // A refused call must never leave an earlier binding readable.
  m_Valid = false;
  UTIL_CHECK(frame != nullptr);
  UTIL_CHECK(key != nullptr);
  m_pFrame = frame;
  // The length gate comes before any byte is read.
  CheckRawFrame(length, frame);

  const u32 le = frame[ms_SubFrame1LeOffset];
  const u32 width = le < ms_OneByteCrcLeMax ? 1 : 2;
  const bool slim = IsSlim(length, frame);
  const u32 twoPayload = slim ? 0 : le;
  const u32 minimum = le + twoPayload + 2 * width + kFixedLength;
  if (length < minimum || le < leMin) {
    throw Util::CException(Util::ErrorCodes::ms_FrameBelowMinimum);
  }

  const u8* one = frame;
  if (FrameCrc(width, slim, kSubFrame1HeaderLength + le, one) != StoredCrc(width, one + kSubFrame1HeaderLength + le)) {
    throw Util::CException(Util::ErrorCodes::ms_FrameCrcWrong);
  }

  // TWO is descrambled in a copy: the caller's buffer stays as it is.
  u8 two[kSubFrame2CopySize];
  const u32 twoLength = kSubFrame2HeaderLength + twoPayload + width;
  const u8* twoInFrame = frame + kSubFrame1HeaderLength + le + width;
  for (u32 i = 0; i < twoLength; ++i) {
    two[i] = twoInFrame[i];
  }
  for (u32 i = 0; i < kCodedBytes; ++i) {
    two[i] ^= key[i];
  }
  const u32 covered = kSubFrame2HeaderLength + twoPayload;
  if (FrameCrc(width, slim, covered, two) != StoredCrc(width, two + covered)) {
    throw Util::CException(Util::ErrorCodes::ms_FrameCrcWrong);
  }

  if (!slim) {
    for (u32 i = 0; i < le; ++i) {
      if (one[ms_SubFrame1DbOffset + i] != two[ms_BasicSubFrame2DbOffset + i]) {
        throw Util::CException(Util::ErrorCodes::ms_FramePayloadsDiffer);
      }
    }
  }

  m_Adr = static_cast<u16>(one[0] | ((one[1] & 3) << 8));
  m_Id = static_cast<u8>(one[1] >> 2);
  m_Le = static_cast<u8>(le);
  m_Ct = static_cast<u16>((two[ms_SubFrame2CtHighOffset] << 8) | one[ms_SubFrame1CtLowOffset]);
  m_Sdn = static_cast<u16>((one[0] ^ two[0]) | (((one[1] ^ two[1]) & 3) << 8));
  m_Tadr = static_cast<u16>(two[3] | ((two[4] & 3) << 8));
  m_Tr = static_cast<u8>(two[4] >> 2);
  m_Valid = true;
}

void CDecodedFrame::CheckValid() const {
  UTIL_CHECK(m_Valid);
  UTIL_CHECK(m_pFrame != nullptr);
}

u16 CDecodedFrame::GetAdr() const {
  CheckValid();
  return m_Adr;
}

u8 CDecodedFrame::GetId() const {
  CheckValid();
  return m_Id;
}

u8 CDecodedFrame::GetLe() const {
  CheckValid();
  return m_Le;
}

u16 CDecodedFrame::GetCt() const {
  CheckValid();
  return m_Ct;
}

u16 CDecodedFrame::GetTadr() const {
  CheckValid();
  return m_Tadr;
}

u8 CDecodedFrame::GetTr() const {
  CheckValid();
  return m_Tr;
}

u16 CDecodedFrame::GetSdn() const {
  CheckValid();
  return m_Sdn;
}

const u8* CDecodedFrame::GetDbs() const {
  CheckValid();
  return m_pFrame + ms_SubFrame1DbOffset;
}

u8 CDecodedFrame::GetId(u16 length, const u8* frame) {
  CheckRawFrame(length, frame);
  return static_cast<u8>(frame[1] >> 2);
}

u8 CDecodedFrame::GetSnmtExtendedService(u16 length, const u8* frame) {
  CheckRawFrame(length, frame);
  return frame[ms_SubFrame1DbOffset];
}

u8 CDecodedFrame::GetSsdoSodAccessCommand(u16 length, const u8* frame) {
  CheckRawFrame(length, frame);
  return frame[ms_SubFrame1DbOffset];
}

bool CDecodedFrame::IsSnmt(u16 length, const u8* frame) { return Id::IsSnmt(GetId(length, frame)); }

bool CDecodedFrame::IsSsdo(u16 length, const u8* frame) { return Id::IsSsdo(GetId(length, frame)); }

bool CDecodedFrame::IsSpdo(u16 length, const u8* frame) { return Id::IsSpdo(GetId(length, frame)); }

bool CDecodedFrame::IsSlim(u16 length, const u8* frame) { return Id::IsSlim(GetId(length, frame)); }

bool CDecodedFrame::IsBasic(u16 length, const u8* frame) { return Id::IsBasic(GetId(length, frame)); }

bool CDecodedFrame::HasIdAndService(u16 length, const u8* frame, u8 id) {
  return GetId(length, frame) == id && frame[ms_SubFrame1LeOffset] != 0;
}

bool CDecodedFrame::IsServiceOneOf(u16 length, const u8* frame, std::initializer_list<u8> values) {
  const u8 service = GetSsdoSodAccessCommand(length, frame);
  for (u8 value : values) {
    if (service == value) {
      return true;
    }
  }
  return false;
}

u8 CDecodedFrame::GetPayloadByte(u32 offset) const { return *GetPayloadBytes(offset, 1); }

u16 CDecodedFrame::GetPayloadU16(u32 offset) const {
  const u8* p = GetPayloadBytes(offset, 2);
  return static_cast<u16>(p[0] | (p[1] << 8));
}

const u8* CDecodedFrame::GetPayloadBytes(u32 offset, u32 count) const {
  CheckValid();
  UTIL_CHECK(offset <= m_Le && count <= m_Le - offset);
  return m_pFrame + ms_SubFrame1DbOffset + offset;
}

const u8* CDecodedFrame::GetPayloadFrom(u32 offset) const {
  CheckValid();
  UTIL_CHECK(offset <= m_Le);
  return GetPayloadBytes(offset, m_Le - offset);
}

u8 CDecodedFrame::GetLengthFrom(u32 offset) const {
  CheckValid();
  UTIL_CHECK(offset <= m_Le);
  return static_cast<u8>(m_Le - offset);
}

}  // namespace Frame
