// The block checker of the saved parameters: a CRC-32 per 512 bytes of the
// data of every object with attribute 0x10, across object boundaries, each
// compared with the next reference CRC of 0x1018/6. Both the idle walk and the
// older release's block-wise CRC manager feed it.
#include "EPSbytes.h"
#include "EPSglobal.h"
#include "EPSod.h"
#include "HNFevt.h"
#include "HNFhwt.h"
#include "HNFiff_Crc.h"
#include "SOD.h"

namespace {

/// The block checker of one parameter walk.
struct ParCheck {
  u32 ulBlock;         ///< index of the block being filled (0 = the first)
  u32 ulFill;          ///< bytes of the block so far
  u32 ulCrc;           ///< running CRC-32 of the block
  u8 bEnded;           ///< the walk is over
  u8 ucResult;         ///< 1 all equal, 0 otherwise (valid once ended or differed)
  u8 bStopAtDifference;  ///< 1: the first difference ends the check; 0: blocks go on being compared
  u8 bDiffered;        ///< a block differed from its reference
};

ParCheck s_Check;  ///< block checker of the current walk

/// Compares the completed (or last partial) block with its reference.
void Compare() {
  const u32 ulRefAt = 4 + 4 * s_Check.ulBlock;
  // A reference beyond the actual length of 0x1018/6 counts as a difference.
  const bool bHaveRef = EPS_gOwnChecksum.pucData != nullptr && ulRefAt + 4 <= EPS_gOwnChecksum.ulActLen;
  if (!bHaveRef || EPS_Rd32(EPS_gOwnChecksum.pucData + ulRefAt) != s_Check.ulCrc) {
    HNFevt_EnregisterEventInfo(EPS_kEvtParameterCrc, static_cast<u16>(s_Check.ulBlock << 8), s_Check.ulCrc);
    s_Check.bDiffered = 1;
    s_Check.ucResult = 0;
    if (s_Check.bStopAtDifference != 0) {
      s_Check.bEnded = 1;
      return;
    }
  }
  ++s_Check.ulBlock;
  s_Check.ulFill = 0;
  s_Check.ulCrc = 0;
  if (s_Check.ulBlock == EPS_kParBlockCount) {
    // Completing the last referenced block ends the walk without a verdict of equality.
    s_Check.bEnded = 1;
    s_Check.ucResult = 0;
  }
}

}  // namespace

void EPS_ParCheckStart(void) {
  s_Check = ParCheck{};
  s_Check.bStopAtDifference = 1;
}

void EPS_ParCheckStartBlockwise(void) { s_Check = ParCheck{}; }

u8 EPS_ParCheckEnded(void) { return s_Check.bEnded; }

u8 EPS_ParCheckDiffered(void) { return s_Check.bDiffered; }

void EPS_ParCheckFeed(const u8* data, u32 length) {
  while (length > 0 && s_Check.bEnded == 0) {
    const u32 ulRoom = EPS_kParBlockSize - s_Check.ulFill;
    const u32 ulPart = length < ulRoom ? length : ulRoom;
    s_Check.ulCrc = HNFiff_Crc32CalcSwp(s_Check.ulCrc, static_cast<i32>(ulPart), data);
    s_Check.ulFill += ulPart;
    data += ulPart;
    length -= ulPart;
    if (s_Check.ulFill == EPS_kParBlockSize) {
      Compare();
    }
  }
}

void EPS_ParCheckFeedObject(const SOD_AttrPart* attr) {
  if (attr == nullptr || (attr->usAttr & SOD_k_ATTR_CRC) == 0) {
    return;
  }
  const u8* pucValue = SOD_ValueAddr(attr);
  const u32 ulLength = SOD_ActualLen(attr);
  if (pucValue != nullptr && ulLength > 0) {
    EPS_ParCheckFeed(pucValue, ulLength);
  }
}

u8 EPS_ParCheckFinish(void) {
  if (s_Check.bEnded != 0 || s_Check.bDiffered != 0) {
    // Any differing block decides: a later equal block cannot make the result 1.
    return 0;
  }
  if (s_Check.ulFill > 0) {
    Compare();
  }
  return s_Check.bDiffered == 0 && s_Check.bEnded == 0 ? 1 : 0;
}

void EPS_ParCheckOnRequest(u8 (*pfWalk)(void)) {
  if ((EPS_gCalcCrc & EPS_kCalcCrcRequest) == 0 || (EPS_gCalcCrc & EPS_kCalcCrcDone) != 0) {
    return;
  }
  EPS_gCalcCrc &= ~EPS_kCalcCrcRequest;
  const u32 ulResult = EPS_gGlobal.ucParamError != 0 ? 0u : pfWalk();
  EPS_gCalcCrc = (EPS_gCalcCrc & ~(EPS_kCalcCrcResultMask << EPS_kCalcCrcResultShift)) |
                 (ulResult << EPS_kCalcCrcResultShift) | EPS_kCalcCrcDone;
}
