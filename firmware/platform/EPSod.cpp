// Helpers of the firmware's object list: the table the stack reads, and the
// values the table's records point at for the own checksums and the UDIDs,
// bound and filled at start-up.
#include "EPSod.h"
#include "SAPL.h"

namespace {
u8 s_aucOwnChecksum[EPS_kOwnChecksumMax];  ///< bytes of 0x1018/6
u8 s_aucOwnUdid[EPS_kUdidBytes];           ///< bytes of 0x1019/0
u8 s_aucScmUdid[EPS_kUdidBytes];           ///< bytes of 0x1200/4

/// The table the stack reads: the list itself, or the older release's list with its ranges expanded.
const SOD_Entry* TableOfTheRelease() {
  if constexpr (SCM_kLegacy) {
    return EPS_OdBuildExpandedTable();
  } else {
    return EPS_OdBaseTable();
  }
}
}  // namespace

const SOD_Entry* SAPL_ps_OD = TableOfTheRelease();
const SOD_VirtRange* SAPL_ps_SOD_VIRT = EPS_OdVirtualRanges();

SOD_VarData EPS_gOwnChecksum = {0, s_aucOwnChecksum};
SOD_VarData EPS_gOwnUdid = {EPS_kUdidBytes, s_aucOwnUdid};
SOD_VarData EPS_gScmUdid = {EPS_kUdidBytes, s_aucScmUdid};

void EPS_OdSetOwnUdid(const u8* scmUdid) {
  // Byte 0 is zero, then UDID bytes 4 down to 0: the SCM UDID's byte 5 is not part of it.
  s_aucOwnUdid[0] = 0;
  for (u32 i = 1; i < EPS_kUdidBytes; ++i) {
    s_aucOwnUdid[i] = scmUdid[EPS_kUdidBytes - 1 - i];
  }
  EPS_gOwnUdid.ulActLen = EPS_kUdidBytes;
}

void EPS_OdBindRealStorage(void) {
  EPS_gOwnChecksum.pucData = s_aucOwnChecksum;
  EPS_gOwnChecksum.ulActLen = 0;
  EPS_gOwnUdid.pucData = s_aucOwnUdid;
  EPS_gOwnUdid.ulActLen = EPS_kUdidBytes;
  EPS_gScmUdid.pucData = s_aucScmUdid;
  EPS_gScmUdid.ulActLen = EPS_kUdidBytes;
}
