// The SCM's node callbacks: status changes, UDID mismatches, revisions and
// encoder changes keep the module table and its counters in step with what
// the configuration manager reports. They run in the cyclic task.
#include <cstring>

#include "EPSerr.h"
#include "HNFcyc.h"
#include "HNFstp.h"
#include "MFWQZ.h"
#include "SAPL.h"
#include "SCM.h"

/// Module flags a new status 0 clears.
static constexpr u32 MFWQZ_kClearOnNoAnswer = 0x00000330u;
/// Module flags a new status 1 clears.
static constexpr u32 MFWQZ_kClearOnInvalid = 0x00200AA0u;
/// Module flags a new status 2 clears.
static constexpr u32 MFWQZ_kClearOnWrongAssign = 0x00200880u;
/// Module flags a new status 3 clears.
static constexpr u32 MFWQZ_kClearOnUdidMismatch = 0x00000BB0u;
/// Module flags a new status 4 or 5 clears.
static constexpr u32 MFWQZ_kClearOnParamErr = 0x00200990u;
/// Module flags a new status 0x81 clears.
static constexpr u32 MFWQZ_kClearOnOperational = 0x00200BB0u;
/// Marker of an encoder conflict found at a UDID mismatch (in information0 with the SADR).
static constexpr u16 MFWQZ_kConflictAtMismatch = 0x4000;
/// Marker of an encoder conflict found at a firmware difference (in information0 with the SADR).
static constexpr u16 MFWQZ_kConflictAtFirmware = 0x8000;

/// 1 while the caller is the cyclic task; else the fatal 0x9200C005.
static u8 MFWQZ_FromCyclicTask(void) {
  if (HNFcyc_gbCalledFromCyc != 1) {
    MFWQZ_EnregisterEvent(MFWQZ_kEvtNotFromCyc, 0, 0);
    return 0;
  }
  return 1;
}

/// Registers state 7 once.
static void MFWQZ_ExtCtFailed(u16 sadr) {
  MFWQZ_ModuleInfoEntry& rEntry = MFWQZ_ModuleInfo[sadr];
  if ((rEntry.ulFlags & MFWQZ_kFlagExtCtReported) == 0) {
    rEntry.ulFlags |= MFWQZ_kFlagExtCtReported;
    MFWQZ_EnregisterEvent(MFWQZ_kEvtExtCtFailed, SCM_k_NS_EXT_CT_FAIL, sadr);
  }
}

/// Step 1: undoes what the old status counted.
static void MFWQZ_UndoOldStatus(u16 sadr, u8 oldStatus, u8 newStatus) {
  MFWQZ_ModuleInfoEntry& rEntry = MFWQZ_ModuleInfo[sadr];
  const u8 bKnown = rEntry.ulNodeState != MFWQZ_kNodeStateUnknown ? 1 : 0;
  switch (oldStatus) {
    case SCM_k_NS_NO_ANSWER:
      if ((rEntry.ulFlags & (MFWQZ_kFlagMissingTimer | MFWQZ_kFlagFirmwareDiff)) ==
          (MFWQZ_kFlagMissingTimer | MFWQZ_kFlagFirmwareDiff)) {
        rEntry.ulFlags &= ~MFWQZ_kFlagMissingTimer;
        break;
      }
      [[fallthrough]];
    case SCM_k_NS_DEVICE_MISMATCH:
    case SCM_k_NS_WRONG_ASSIGN:
    case SCM_k_NS_DOWNLOAD_FAIL:
    case SCM_k_NS_ADD_PARAM_FAIL:
      if (bKnown != 0) {
        MFWQZ_DecErroneous(sadr);
      }
      break;
    case SCM_k_NS_UDID_MISMATCH:
      if (bKnown != 0) {
        const u32 ulTaken = MFWQZ_kFlagAutoConfigured | MFWQZ_kFlagAutoUdidTaken;
        if ((rEntry.ulFlags & ulTaken) == ulTaken) {
          MFWQZ_DecErroneous(sadr);
          rEntry.ulFlags &= ~MFWQZ_kFlagAutoUdidTaken;
        } else {
          MFWQZ_DecUdidMisMatches(sadr);
        }
        rEntry.ulFlags &= ~MFWQZ_kFlagAutoUdidMismatch;
      }
      break;
    case SCM_k_NS_EXT_CT_FAIL:
      MFWQZ_ExtCtFailed(sadr);
      break;
    case SCM_k_NS_SADR_ASSIGNED:
      if (newStatus != SCM_k_NS_OPERATIONAL && (rEntry.ulFlags & MFWQZ_kFlagEncoderChanged) != 0) {
        MFWQZ_DecUdidMisMatches(sadr);
      }
      break;
    case SCM_k_NS_OPERATIONAL:
      break;
    default:
      MFWQZ_EnregisterEvent(MFWQZ_kEvtUnknownStatus, oldStatus, sadr);
      break;
  }
}

/// Step 2: applies the new status; 0 when it is unknown.
static u8 MFWQZ_ApplyNewStatus(u16 sadr, u8 newStatus) {
  MFWQZ_ModuleInfoEntry& rEntry = MFWQZ_ModuleInfo[sadr];
  const u8 bStartUp = MFWQZ_IsStartUpFor(sadr);
  switch (newStatus) {
    case SCM_k_NS_NO_ANSWER:
      if ((rEntry.ulFlags & MFWQZ_kFlagFirmwareDiff) == 0) {
        MFWQZ_IncErroneous(sadr);
        if (bStartUp != 0) {
          rEntry.ulFlags |= MFWQZ_kFlagMissingPending;
        } else {
          MFWQZ_RegisterMissingModule(sadr);
        }
      } else if ((rEntry.ulFlags & MFWQZ_kFlagMissingTimer) == 0) {
        rEntry.ulFlags |= MFWQZ_kFlagMissingTimer;
        rEntry.ulSecondsAtError = MFWQZ_ulSeconds;
      }
      rEntry.ulFlags &= ~MFWQZ_kClearOnNoAnswer;
      return 1;
    case SCM_k_NS_DEVICE_MISMATCH:
      MFWQZ_IncErroneous(sadr);
      if (bStartUp != 0) {
        rEntry.ulFlags |= MFWQZ_kFlagInvalidPending;
      } else {
        MFWQZ_RegisterInvalidModule(sadr);
      }
      rEntry.ulFlags &= ~MFWQZ_kClearOnInvalid;
      return 1;
    case SCM_k_NS_WRONG_ASSIGN:
      MFWQZ_IncErroneous(sadr);
      rEntry.ulFlags &= ~MFWQZ_kClearOnWrongAssign;
      rEntry.ulFlags |= MFWQZ_kFlagAnswered;
      return 1;
    case SCM_k_NS_SADR_ASSIGNED:
      rEntry.ulFlags |= MFWQZ_kFlagAnswered;
      return 1;
    case SCM_k_NS_UDID_MISMATCH:
      ++MFWQZ_ulNumberOfUdidMisMatches;
      if (MFWQZ_TestSadrBit(MFWQZ_gaucBcmFlags, sadr) != 0) {
        rEntry.ulFlags |= MFWQZ_kFlagAutoUdidMismatch;
      }
      rEntry.ulFlags &= ~MFWQZ_kClearOnUdidMismatch;
      rEntry.ulFlags |= MFWQZ_kFlagAnswered;
      return 1;
    case SCM_k_NS_DOWNLOAD_FAIL:
    case SCM_k_NS_ADD_PARAM_FAIL:
      MFWQZ_IncErroneous(sadr);
      if (bStartUp != 0) {
        rEntry.ulFlags |= MFWQZ_kFlagParamErrPending;
      } else {
        MFWQZ_RegisterParamErrModule(sadr);
      }
      rEntry.ulFlags &= ~MFWQZ_kClearOnParamErr;
      rEntry.ulFlags |= MFWQZ_kFlagAnswered;
      return 1;
    case SCM_k_NS_EXT_CT_FAIL:
      MFWQZ_ExtCtFailed(sadr);
      return 1;
    case SCM_k_NS_OPERATIONAL:
      rEntry.ulFlags &= ~MFWQZ_kClearOnOperational;
      rEntry.ulFlags |= MFWQZ_kFlagAnswered;
      return 1;
    default:
      MFWQZ_EnregisterEvent(MFWQZ_kEvtUnknownStatus, newStatus, sadr);
      return 0;
  }
}

/// 1 for the statuses in which a node counts as found.
static u8 MFWQZ_IsFoundStatus(u8 status) {
  return (status == SCM_k_NS_WRONG_ASSIGN || status == SCM_k_NS_UDID_MISMATCH || status == SCM_k_NS_DOWNLOAD_FAIL ||
          status == SCM_k_NS_ADD_PARAM_FAIL || status == SCM_k_NS_OPERATIONAL)
             ? 1
             : 0;
}

void MFWQZ_StateCallBack(u16 sadr, u8 newStatus) {
  if (sadr == 0 || sadr > MFWQZ_kSadrMax) {
    return;
  }
  MFWQZ_ModuleInfoEntry& rEntry = MFWQZ_ModuleInfo[sadr];
  const u8 bFound = MFWQZ_IsFoundStatus(newStatus);
  if ((rEntry.ulFlags & MFWQZ_kFlagNotScanned) != 0) {
    rEntry.ulFlags &= ~MFWQZ_kFlagNotScanned;
    ++MFWQZ_gulModuleScanned;
    if (bFound != 0) {
      ++MFWQZ_gulModuleFound;
    }
    if (MFWQZ_gulModuleScanned == MFWQZ_gulModuleCount) {
      MFWQZ_EndOfScan(0);
    }
  }
  if (newStatus == SCM_k_NS_UDID_MISMATCH) {
    rEntry.ulFlags |= MFWQZ_kFlagUdidMismatch;
    if ((rEntry.ulFlags & MFWQZ_kFlagEncoderChanged) != 0) {
      MFWQZ_EnregisterEvent(MFWQZ_kEvtEncoderConflict, static_cast<u16>(sadr | MFWQZ_kConflictAtMismatch),
                            rEntry.ulFlags);
    }
  } else {
    rEntry.ulFlags &= ~MFWQZ_kFlagUdidMismatch;
  }
  if (sadr == MFWQZ_kQorSadr) {
    if (bFound != 0) {
      if (MFWQZ_gbQorFound == 0) {
        // The Qor controller answers again: it gets what it keeps of the SCM.
        HNFcyc_TriggerSendScmVersionToQorInBgTask = 1;
        HNFcyc_TriggerSendPasswordToQorInBgTask = 1;
        MFWQZ_TriggerSetupModeToQor();
        if (MFWQZ_IsStartUpFor(sadr) == 0) {
          HNFcyc_TriggerSendOptionalModulesToQorInBgTask = 1;
        }
      }
      MFWQZ_gbQorFound = 1;
    } else {
      MFWQZ_gbQorFound = 0;
    }
  }
  rEntry.ulNodeState = newStatus;
}

void SAPL_ScmNodeStatusChangedClbk(u16 SADR, u8 oldStatus, u8 newStatus) {
  if (MFWQZ_FromCyclicTask() == 0 || MFWQZ_CheckSaddrRange(SADR) == 0 || MFWQZ_gbLockPost != 0) {
    return;
  }
  if (MFWQZ_gbEndOfStartUp != 0 && SADR >= MFWQZ_gusStartUpModule) {
    MFWQZ_GetMissStpFlags(SADR);
  }
  MFWQZ_UndoOldStatus(SADR, oldStatus, newStatus);
  if (MFWQZ_ApplyNewStatus(SADR, newStatus) == 0) {
    return;
  }
  if ((MFWQZ_ModuleInfo[SADR].ulFlags & MFWQZ_kFlagConfigured) != 0) {
    MFWQZ_StateCallBack(SADR, newStatus);
  }
}

u8 MFWQZ_UdidCallBack(u16 sadr, const u8* udid, u16 handle) {
  if (sadr == MFWQZ_kQorSadr &&
      (udid == nullptr || std::memcmp(udid, HNFstp_aucQorUdid, MFWQZ_kUdidBytes) != 0)) {
    // Another Qor controller answers at SADR 1: the whole domain starts again.
    (void)HNFiff_SafePlcReset();
    return 0;
  }
  if (sadr == 0 || sadr > MFWQZ_kSadrMax || (MFWQZ_ModuleInfo[sadr].ulFlags & MFWQZ_kFlagConfigured) == 0) {
    MFWQZ_EnregisterEvent(MFWQZ_kEvtSaddr, 2, sadr);
    return 0;
  }
  if (MFWQZ_gbLockPost != 0) {
    return 1;
  }
  MFWQZ_ModuleInfoEntry& rEntry = MFWQZ_ModuleInfo[sadr];
  if (udid == nullptr ||
      (rEntry.ulNodeState != SCM_k_NS_UDID_MISMATCH && rEntry.ulNodeState != MFWQZ_kNodeStateUnknown)) {
    MFWQZ_EnregisterEvent(MFWQZ_kEvtSaddr, 2, sadr);
    rEntry.ulFlags &= ~MFWQZ_kFlagUdidAcknowledged;
    return 0;
  }
  if ((rEntry.ulFlags & MFWQZ_kFlagAutoConfigured) == 0) {
    rEntry.usAckHandle = handle;
  } else if ((rEntry.ulFlags & MFWQZ_kFlagAutoUdidMismatch) != 0) {
    // An auto-configured module's UDID is taken over: no longer a mismatch, but erroneous.
    MFWQZ_DecUdidMisMatches(sadr);
    MFWQZ_IncErroneous(sadr);
    rEntry.ulFlags &= ~MFWQZ_kFlagAutoUdidMismatch;
    rEntry.ulFlags |= MFWQZ_kFlagAutoUdidTaken;
  }
  if (sadr != MFWQZ_usSaddr) {
    MFWQZ_bSioChanged = 1;
  }
  rEntry.ulFlags &= ~MFWQZ_kFlagUdidAcknowledged;
  return 1;
}

void SAPL_ScmUdidMismatchClbk(u16 SADR, const u8* receivedUdid, u16 fsmIndex) {
  if (MFWQZ_FromCyclicTask() == 0) {
    return;
  }
  (void)MFWQZ_UdidCallBack(SADR, receivedUdid, fsmIndex);
}

/// Raises the revision event once and marks it reported.
static void MFWQZ_RevisionReportedOnce(u16 sadr, u32 received) {
  MFWQZ_ModuleInfoEntry& rEntry = MFWQZ_ModuleInfo[sadr];
  if ((rEntry.ulFlags & MFWQZ_kFlagMajorRevReported) == 0) {
    MFWQZ_EnregisterEvent(MFWQZ_kEvtRevision, sadr, received);
    rEntry.ulFlags |= MFWQZ_kFlagMajorRevReported;
  }
}

u8 MFWQZ_FirmwareCallBack(u16 sadr, u32 expected, u32 received) {
  if (sadr == 0 || sadr > MFWQZ_kSadrMax) {
    return 0;
  }
  MFWQZ_ModuleInfoEntry& rEntry = MFWQZ_ModuleInfo[sadr];
  const u16 usExpected = static_cast<u16>(expected);
  const u16 usReceived = static_cast<u16>(received);
  if (usReceived < usExpected) {
    MFWQZ_RevisionReportedOnce(sadr, received);
    return 0;
  }
  if ((rEntry.ulFlags & MFWQZ_kFlagCnfRevStored) != 0) {
    if (usReceived == rEntry.usConfiguredRev) {
      return 1;
    }
    rEntry.ulFlags &= ~MFWQZ_kFlagCnfRevStored;
  }
  rEntry.usConfiguredRev = usReceived;
  if ((rEntry.ulFlags & MFWQZ_kFlagFirmwareDiff) != 0) {
    return 0;
  }
  rEntry.ulFlags |= MFWQZ_kFlagFirmwareDiff;
  rEntry.ulFlags &= ~MFWQZ_kFlagMissingTimer;
  if ((rEntry.ulFlags & MFWQZ_kFlagEncoderChanged) != 0) {
    MFWQZ_EnregisterEvent(MFWQZ_kEvtEncoderConflict, static_cast<u16>(sadr | MFWQZ_kConflictAtFirmware),
                          rEntry.ulFlags);
  }
  ++MFWQZ_ulNumberOfDiffFirmware;
  return 0;
}

bool SAPL_ScmRevisionNumberClbk(u16 SADR, u32 expected, u32 received) {
  if (MFWQZ_FromCyclicTask() == 0 || MFWQZ_CheckSaddrRange(SADR) == 0) {
    return false;
  }
  if ((expected >> 16) != (received >> 16)) {
    MFWQZ_RevisionReportedOnce(SADR, received);
    return false;
  }
  // Held off while the accepted revisions are not known: refused, nothing changed.
  if (MFWQZ_gbLockPostFw == 1 || MFWQZ_ValidFiles == 0) {
    return false;
  }
  return MFWQZ_FirmwareCallBack(SADR, expected, received) != 0;
}

bool SAPL_ScmProcessSn(u16 SADR) {
  if (SADR == 0 || SADR > MFWQZ_kSadrMax) {
    MFWQZ_EnregisterEvent(MFWQZ_kEvtProcessSnRange, 0, SADR);
    return false;
  }
  if (MFWQZ_gbModuleFlagsStatus != 1) {
    return false;
  }
  return MFWQZ_TestSadrBit(MFWQZ_gaucNprFlags, SADR) == 0;
}

void MFWQZ_EncoderChg(u16 sadr, u16 handle) {
  if (sadr == 0 || sadr > MFWQZ_kSadrMax || MFWQZ_gbLockPost != 0) {
    return;
  }
  MFWQZ_ModuleInfoEntry& rEntry = MFWQZ_ModuleInfo[sadr];
  if ((rEntry.ulFlags & MFWQZ_kFlagConfigured) == 0) {
    return;
  }
  // After a scan reset the table holds "unknown" and the SCM does not report an
  // unchanged SADR-assigned status again: unknown counts as SADR assigned.
  const u32 ulState =
      rEntry.ulNodeState == MFWQZ_kNodeStateUnknown ? static_cast<u32>(SCM_k_NS_SADR_ASSIGNED) : rEntry.ulNodeState;
  const u8 bAcknowledged = (rEntry.ulFlags & MFWQZ_kFlagUdidAcknowledged) != 0 ? 1 : 0;
  if (!(ulState == SCM_k_NS_SADR_ASSIGNED || (ulState == SCM_k_NS_UDID_MISMATCH && bAcknowledged != 0))) {
    MFWQZ_EnregisterEvent(MFWQZ_kEvtEncoderState, sadr, ulState);
    return;
  }
  if ((rEntry.ulFlags & MFWQZ_kFlagFirmwareDiff) != 0) {
    MFWQZ_EnregisterEvent(MFWQZ_kEvtEncoderConflict, sadr, rEntry.ulFlags);
    return;
  }
  if (bAcknowledged != 0) {
    (void)EPS_EncoderAck(handle);
    return;
  }
  // A repeated report of the same waiting change is counted once.
  if ((rEntry.ulFlags & MFWQZ_kFlagEncoderChanged) == 0) {
    ++MFWQZ_ulNumberOfUdidMisMatches;
  }
  rEntry.ulFlags |= MFWQZ_kFlagEncoderChanged;
  rEntry.usAckHandle = handle;
}
