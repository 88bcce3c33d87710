// Own safety domain number (object 0x1200/1).
#include <cstring>

#include "SCFM.h"
#include "SDN.h"
#include "SERR.h"
#include "SOD.h"

namespace {
constexpr u16 k_SDN_INDEX = 0x1200;  ///< object of the domain number
constexpr u8 k_SDN_SUB = 1;          ///< its sub-index
SOD_Access s_SdnAcc = {};            ///< access structure of 0x1200/1
const u8* s_pucSdn = nullptr;        ///< its value, once resolved
}  // namespace

bool SDN_Init() {
  SCFM_Tack();
  s_pucSdn = nullptr;
  s_SdnAcc = SOD_Access{};
  s_SdnAcc.obj.usIndex = k_SDN_INDEX;
  s_SdnAcc.obj.ucSubIndex = k_SDN_SUB;
  SOD_ErrorInfo err = {SOD_k_NO_ERROR, 0};
  const SOD_AttrPart* attr = SOD_AttrGetVirt(&s_SdnAcc, &err);
  if (attr == nullptr) {
    SERR_SetError(err.usErrNum, err.ulAbortCode);
    return false;
  }
  // A before-read callback could change the value behind the stack's back.
  if ((attr->usAttr & SOD_k_ATTR_BEF_RD) != 0) {
    SERR_SetError(0xF201, 0);
    return false;
  }
  const void* value = SOD_ReadVirt(&s_SdnAcc, &err);
  if (value == nullptr) {
    SERR_SetError(err.usErrNum, err.ulAbortCode);
    return false;
  }
  s_pucSdn = static_cast<const u8*>(value);
  return true;
}

u16 SDN_GetSdn() {
  SCFM_Tack();
  if (s_pucSdn == nullptr) {
    SCFM_Tack();
    return 0;
  }
  u16 sdn = 0;
  std::memcpy(&sdn, s_pucSdn, sizeof(sdn));
  return sdn;
}

bool SDN_SetSdn(u16 sdn) {
  SCFM_Tack();
  return SOD_WriteVirt(&s_SdnAcc, &sdn, true);
}
