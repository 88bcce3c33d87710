// Frame serializer: start-up, transmit blocks and the SCM-UDID coding.
#include "SAPL.h"
#include "SCFM.h"
#include "SERR.h"
#include "SFS.h"
#include "SOD.h"

namespace {
constexpr u16 k_UDID_INDEX = 0x1200;  ///< object of the SCM UDID
constexpr u8 k_UDID_SUB = 4;          ///< its sub-index
constexpr u8 k_UDID_LEN = 6;          ///< bytes of a UDID
SOD_Access s_UdidAcc = {};            ///< access structure of the SCM UDID
const u8* s_pucScmUdid = nullptr;     ///< the SCM UDID's current bytes
}  // namespace

u8* SFS_pucLastBlock = nullptr;  // block handed out last, checked by the serializer
u16 SFS_usLastBlockLen = 0;      // its length

u16 SFS_FrameLength(bool slim, u8 le) {
  SCFM_Tack();
  const u16 crcBytes = (le <= 8) ? 1 : 2;
  const u16 payloadCopies = slim ? 1 : 2;
  return static_cast<u16>(payloadCopies * le + 9 + 2 * crcBytes);
}

bool SFS_Init() {
  SCFM_Tack();
  s_pucScmUdid = nullptr;
  s_UdidAcc = SOD_Access{};
  s_UdidAcc.obj.usIndex = k_UDID_INDEX;
  s_UdidAcc.obj.ucSubIndex = k_UDID_SUB;
  SOD_ErrorInfo err = {SOD_k_NO_ERROR, 0};
  const SOD_AttrPart* attr = SOD_AttrGetVirt(&s_UdidAcc, &err);
  if (attr == nullptr) {
    SERR_SetError(err.usErrNum, err.ulAbortCode);
    return false;
  }
  // Every frame reads the UDID directly, so a read callback would never run.
  if ((attr->usAttr & SOD_k_ATTR_BEF_RD) != 0) {
    SERR_SetError(0xF319, 0);
    return false;
  }
  const void* value = SOD_ReadVirt(&s_UdidAcc, &err);
  if (value == nullptr) {
    SERR_SetError(err.usErrNum, err.ulAbortCode);
    return false;
  }
  s_pucScmUdid = static_cast<const u8*>(value);
  return true;
}

u8* SFS_GetMemBlock(u8 telegramType, u8 le) {
  SCFM_Tack();
  if (le == 255) {
    SERR_SetError(0xF305, 255);
    return nullptr;
  }
  const u16 length = SFS_FrameLength(telegramType == SFS_k_TT_SSDO_SLIM, le);
  u8* block = SHNF_GetTxMemBlock(length, telegramType);
  if (block == nullptr) {
    SERR_SetError(0xF316, 0);
    return nullptr;
  }
  SFS_pucLastBlock = block;
  SFS_usLastBlockLen = length;
  return block;
}

void SFS_ScmUdidCode(u8 id, u8* two) {
  SCFM_Tack();
  if (SFS_IsSnmt(id) || two == nullptr || s_pucScmUdid == nullptr) {
    return;
  }
  for (u8 i = 0; i < k_UDID_LEN; ++i) {
    two[i] = static_cast<u8>(two[i] ^ s_pucScmUdid[i]);
  }
}
