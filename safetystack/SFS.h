// The safety frame serializer: frame header, transmit blocks, serialize and
// deserialize, SCM-UDID coding and copying of values by data type.
#pragma once
#include "SCFM.h"
#include "ScmProfile.h"
#include "ScmTypes.h"

/// Decoded safety frame header.
struct SFS_FrameHeader {
  u16 usAdr;         ///< address field (10 bits on the wire)
  u8 ucId;           ///< frame id (6 bits on the wire)
  u16 usSdn;         ///< safety domain number (10 bits on the wire)
  u8 ucLe;           ///< payload length 0..254
  u16 usCt;          ///< consecutive time (low byte in ONE, high byte in TWO)
  u16 usTadr;        ///< second address field (10 bits on the wire)
  u8 ucTr;           ///< time request distinctive number (6 bits on the wire)
#if !SCM_PROFILE_LEGACY
  u8 aucExtCt[4];    ///< extended-CT bytes of SPDO frames 0x30/0x31 (byte 3 always 0); the older release has none
#endif
};

/// Codes the extended-CT bytes of an SPDO frame 0x30/0x31 into TWO (current release only).
void SFS_PutExtCt(const SFS_FrameHeader* header, u8* two);
/// Takes the extended-CT bytes of a received frame out of TWO: extracted for an SPDO
/// frame 0x30/0x31 whose TR has both bits 0x30, else 0 (current release only).
void SFS_TakeExtCt(bool spdoExtCt, const u8* one, u8* two, SFS_FrameHeader* out);

/// Telegram types of a transmit block.
enum : u8 {
  SFS_k_TT_SSDO = 2,       ///< SSDO
  SFS_k_TT_SSDO_SLIM = 3,  ///< slim SSDO
  SFS_k_TT_SNMT = 4        ///< SNMT
};

/// Offset of the payload inside a transmit block (TWO's payload position).
constexpr u16 SFS_k_BLOCK_PAYLOAD = 5;
/// Largest frame in queue form (LE 254).
constexpr u16 SFS_k_MAX_FRAME = 521;
/// Shortest frame in queue form (LE 0).
constexpr u16 SFS_k_MIN_FRAME = 11;

/// Transmit block handed out last by SFS_GetMemBlock (null once serialized or released).
extern u8* SFS_pucLastBlock;
/// Length of that block.
extern u16 SFS_usLastBlockLen;

/// True for SNMT ids 0x28..0x2F.
inline bool SFS_IsSnmt(u8 id) {
  SCFM_Tack();
  return (id & 0x38) == 0x28;
}
/// True for the slim SSDO ids 0x3A and 0x3B.
inline bool SFS_IsSlim(u8 id) {
  SCFM_Tack();
  return id == 0x3A || id == 0x3B;
}
/// Total queue length of a frame with this LE.
u16 SFS_FrameLength(bool slim, u8 le);

/// Resolves the SCM UDID (0x1200/4) for the coding.
bool SFS_Init();
/// Transmit block of the exact length for this type and LE, or null (reported).
u8* SFS_GetMemBlock(u8 telegramType, u8 le);
/// Checks the header, builds the frame in the block and sends it; false (reported) when refused or not sent.
bool SFS_FrmSerialize(const SFS_FrameHeader* header, u8* block);
/// Checks and decodes a received frame in place; the payload inside ONE, or null (counted and reported).
const u8* SFS_FrmDeSerialize(u8* frame, u16 length, SFS_FrameHeader* out);
/// XOR coding of TWO's first six bytes with the SCM UDID (not for SNMT ids); its own inverse.
void SFS_ScmUdidCode(u8 id, u8* two);
/// Copies a value by data type, byte for byte in frame order.
bool SFS_NetworkCopyGen(void* dest, const void* src, u32 length, u8 dataType);
