// Serialize and deserialize of safety frames.
#include <cstring>

#include "HNFiff_Crc.h"
#include "SAPL.h"
#include "SCFM.h"
#include "SDN.h"
#include "SERR.h"
#include "SFS.h"

namespace {
/// Frame ids a sender may use (SNMT 0x28..0x2D, 0x2F; SPDO 0x30..0x35; SSDO 0x38..0x3B).
constexpr u64 k_VALID_IDS = (0x3FULL << 0x28) | (1ULL << 0x2F) | (0x3FULL << 0x30) | (0xFULL << 0x38);

bool IdValid(u8 id) {
  SCFM_Tack();
  return id <= 63 && ((k_VALID_IDS >> id) & 1U) != 0;
}

bool IsSpdoExtCt(u8 id) {
  SCFM_Tack();
  return id == 0x30 || id == 0x31;
}

/// CRC over a span with the width and polynomial the frame needs.
u16 FrameCrc(bool slim, u8 le, const u8* data, u16 count) {
  SCFM_Tack();
  if (le <= 8) {
    return HNFiff_Crc8CalcSwp(0, count, data);
  }
  return slim ? HNFiff_Crc16CalcSwp(0, count, data) : HNFiff_Crc16_755B_CalcSwp(0, count, data);
}

void PutCrc(u8* at, u8 le, u16 crc) {
  SCFM_Tack();
  at[0] = static_cast<u8>(crc & 0xFF);
  if (le > 8) {
    at[1] = static_cast<u8>(crc >> 8);
  }
}

u16 GetCrc(const u8* at, u8 le) {
  SCFM_Tack();
  return (le > 8) ? static_cast<u16>(at[0] | (at[1] << 8)) : at[0];
}

/// Refuses a header: reported, the block given back unsent.
bool Refuse(u16 code, u32 info, u8* block) {
  SCFM_Tack();
  SERR_SetError(code, info);
  if (block != nullptr) {
    SHNF_ReleaseTxMemBlock(block);
  }
  if (block == SFS_pucLastBlock) {
    SFS_pucLastBlock = nullptr;
  }
  return false;
}

/// Counted and reported refusal of a received frame.
const u8* RxFail(u8 counter, u16 code, u32 info) {
  SCFM_Tack();
  SERR_CountCommonEvt(counter);
  SERR_SetError(code, info);
  return nullptr;
}
}  // namespace

bool SFS_FrmSerialize(const SFS_FrameHeader* h, u8* block) {
  SCFM_Tack();
  if (h == nullptr || block == nullptr) {
    return Refuse(0xF30F, 0, block);
  }
  if (h->usAdr < 1 || h->usAdr > 1023) {
    return Refuse(0xF30F, h->usAdr, block);
  }
  if (!IdValid(h->ucId)) {
    return Refuse(0xF310, h->ucId, block);
  }
  if (h->usSdn < 1 || h->usSdn > 1023) {
    return Refuse(0xF311, h->usSdn, block);
  }
  if (h->ucLe == 255) {
    return Refuse(0xF312, 255, block);
  }
  if (h->usTadr > 1023) {
    return Refuse(0xF313, h->usTadr, block);
  }
  if (h->ucTr > 63) {
    return Refuse(0xF314, h->ucTr, block);
  }
  const bool slim = SFS_IsSlim(h->ucId);
  const u8 le = h->ucLe;
  const u16 crcBytes = (le <= 8) ? 1 : 2;
  const u16 total = SFS_FrameLength(slim, le);
  // The frame must fill exactly the block it was given, else it would be written past its end.
  if (block != SFS_pucLastBlock || total != SFS_usLastBlockLen) {
    return Refuse(0xF317, total, block);
  }
  SFS_pucLastBlock = nullptr;
  const u16 twoLen = static_cast<u16>(5 + (slim ? 0 : le) + crcBytes);
  u8* two = block;
  u8* one = block + twoLen;
  std::memmove(one + 4, block + SFS_k_BLOCK_PAYLOAD, le);
  const u16 adrSdn = static_cast<u16>(h->usAdr ^ h->usSdn);
  one[0] = static_cast<u8>(h->usAdr & 0xFF);
  one[1] = static_cast<u8>((h->ucId << 2) | ((h->usAdr >> 8) & 0x03));
  one[2] = le;
  one[3] = static_cast<u8>(h->usCt & 0xFF);
  two[0] = static_cast<u8>(adrSdn & 0xFF);
  two[1] = static_cast<u8>((h->ucId << 2) | ((adrSdn >> 8) & 0x03));
  two[2] = static_cast<u8>(h->usCt >> 8);
  two[3] = static_cast<u8>(h->usTadr & 0xFF);
  two[4] = static_cast<u8>((h->ucTr << 2) | ((h->usTadr >> 8) & 0x03));
  const u16 crc1 = FrameCrc(slim, le, one, static_cast<u16>(4 + le));
  const u16 twoData = static_cast<u16>(5 + (slim ? 0 : le));
  const u16 crc2 = FrameCrc(slim, le, two, twoData);
  PutCrc(one + 4 + le, le, crc1);
  PutCrc(two + twoData, le, crc2);
  SFS_ScmUdidCode(h->ucId, two);
  // The older release has no extended CT.
  if constexpr (!SCM_kLegacy) {
    if (IsSpdoExtCt(h->ucId)) {
      SFS_PutExtCt(h, two);
    }
  }
  if (SHNF_MarkTxMemBlock(block) == 0) {
    SERR_SetError(0xF317, 0);
    return false;
  }
  return true;
}

const u8* SFS_FrmDeSerialize(u8* frame, u16 length, SFS_FrameHeader* out) {
  SCFM_Tack();
  // Too short to hold ID and LE: refused before any byte is read.
  if (frame == nullptr || out == nullptr || length < SFS_k_MIN_FRAME) {
    return RxFail(SERR_k_FRAME_LEN, 0x2301, 0);
  }
  u8* one = frame;
  const u8 id = static_cast<u8>(one[1] >> 2);
  const u8 le = one[2];
  const bool slim = SFS_IsSlim(id);
  if (SFS_FrameLength(slim, le) != length) {
    return RxFail(SERR_k_FRAME_LEN, (le <= 8) ? 0x2301 : 0x2302, (static_cast<u32>(id) << 8) | le);
  }
  if (le == 255) {
    return RxFail(SERR_k_LE_255, 0x2303, le);
  }
  const u16 crcBytes = (le <= 8) ? 1 : 2;
  u8* two = one + 4 + le + crcBytes;
  SFS_ScmUdidCode(id, two);
  // The older release has no extraction of extended-CT bytes.
  if constexpr (!SCM_kLegacy) {
    SFS_TakeExtCt(IsSpdoExtCt(id), one, two, out);
  }
  out->usAdr = static_cast<u16>(one[0] | ((one[1] & 0x03) << 8));
  out->ucId = id;
  out->usSdn = static_cast<u16>((two[0] | ((two[1] & 0x03) << 8)) ^ out->usAdr);
  out->ucLe = le;
  out->usCt = static_cast<u16>(one[3] | (two[2] << 8));
  out->usTadr = static_cast<u16>(two[3] | ((two[4] & 0x03) << 8));
  out->ucTr = static_cast<u8>(two[4] >> 2);
  if (out->usAdr == 0) {
    return RxFail(SERR_k_ADR_0, 0x230D, out->usAdr);
  }
  const u8 twoId = static_cast<u8>(two[1] >> 2);
  if (twoId != id) {
    return RxFail(SERR_k_ID_DIFFER, 0x2304, (static_cast<u32>(id) << 16) + twoId);
  }
  if (out->usSdn == 0) {
    return RxFail(SERR_k_SDN_0, 0x230E, out->usSdn);
  }
  if (out->usTadr == 0 && !IsSpdoExtCt(id)) {
    return RxFail(SERR_k_TADR_0, 0x2318, out->usTadr);
  }
  const u16 rxCrc1 = GetCrc(one + 4 + le, le);
  if (FrameCrc(slim, le, one, static_cast<u16>(4 + le)) != rxCrc1) {
    return RxFail(SERR_k_CRC1, (le <= 8) ? 0x2307 : 0x2308, rxCrc1);
  }
  const u16 twoData = static_cast<u16>(5 + (slim ? 0 : le));
  const u16 rxCrc2 = GetCrc(two + twoData, le);
  if (FrameCrc(slim, le, two, twoData) != rxCrc2) {
    return RxFail(SERR_k_CRC2, (le <= 8) ? 0x2309 : 0x230A, rxCrc2);
  }
  if (!slim && std::memcmp(one + 4, two + 5, le) != 0) {
    return RxFail(SERR_k_DATA_DIFFER, 0x2306, 0);
  }
  return one + 4;
}
