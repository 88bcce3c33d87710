// Configuration manager: the small object-dictionary access functions all SCM code uses.
#include <cstring>

#include "SCFM.h"
#include "SERR.h"
#include "SCMint.h"

namespace {
SOD_Access s_Acs;  ///< temporary access structure of every SCM access

constexpr u16 k_CALLBACK_ATTR = SOD_k_ATTR_BEF_RD | SOD_k_ATTR_BEF_WR | SOD_k_ATTR_AFT_WR;  ///< callbacks

/// Resolves (index, sub) into the temporary access structure.
const SOD_AttrPart* Resolve(u16 index, u8 sub, SOD_ErrorInfo* err) {
  SCFM_Tack();
  s_Acs = SOD_Access{};
  s_Acs.obj.usIndex = index;
  s_Acs.obj.ucSubIndex = sub;
  return SOD_AttrGetVirt(&s_Acs, err);
}
}  // namespace

const void* SCM_SodRead(u16 index, u8 sub) {
  SCFM_Tack();
  SOD_ErrorInfo err = {SOD_k_NO_ERROR, 0};
  const void* data = nullptr;
  if (Resolve(index, sub, &err) != nullptr) {
    data = SOD_ReadVirt(&s_Acs, &err);
  }
  if (data == nullptr) {
    SERR_SetError(err.usErrNum, err.ulAbortCode);
  }
  return data;
}

const void* SCM_SodQueryRead(u16 index, u8 sub, u8* failed) {
  SCFM_Tack();
  SOD_ErrorInfo err = {SOD_k_NO_ERROR, 0};
  if (Resolve(index, sub, &err) == nullptr) {
    *failed = 0;
    return nullptr;
  }
  const void* data = SOD_ReadVirt(&s_Acs, &err);
  if (data == nullptr) {
    *failed = 1;
    SERR_SetError(err.usErrNum, err.ulAbortCode);
  }
  return data;
}

u8* SCM_SodPtrAcs(u16 index, u8 sub) {
  SCFM_Tack();
  SOD_ErrorInfo err = {SOD_k_NO_ERROR, 0};
  const SOD_AttrPart* attr = Resolve(index, sub, &err);
  if (attr == nullptr) {
    SERR_SetError(err.usErrNum, err.ulAbortCode);
    return nullptr;
  }
  if ((attr->usAttr & k_CALLBACK_ATTR) != 0) {
    SERR_SetError(0xF10C, index);
    return nullptr;
  }
  void* data = SOD_ReadVirt(&s_Acs, &err);
  if (data == nullptr) {
    SERR_SetError(err.usErrNum, err.ulAbortCode);
  }
  return static_cast<u8*>(data);
}

u32 SCM_SodGetActLen(u16 index, u8 sub) {
  SCFM_Tack();
  SOD_ErrorInfo err = {SOD_k_NO_ERROR, 0};
  u32 len = 0;
  if (Resolve(index, sub, &err) == nullptr || !SOD_ActualLenGetVirt(&s_Acs, &len)) {
    return 0;
  }
  return len;
}

bool SCM_SodWrite(u16 index, u8 sub, const void* data) {
  SCFM_Tack();
  SOD_ErrorInfo err = {SOD_k_NO_ERROR, 0};
  if (Resolve(index, sub, &err) == nullptr || !SOD_WriteVirt(&s_Acs, data, true)) {
    SERR_SetError(0xF108, (static_cast<u32>(index) << 16) | sub);
    return false;
  }
  return true;
}

bool SCM_SodReadVal(u16 index, u8 sub, void* out, u32 n) {
  SCFM_Tack();
  const void* p = SCM_SodRead(index, sub);
  if (p == nullptr) {
    return false;
  }
  std::memcpy(out, p, n);
  return true;
}
