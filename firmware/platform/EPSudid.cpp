// Writer of the SADR-UDID list.
#include "EPSudid.h"

#include "EPSbytes.h"
#include "EPSod.h"
#include "HNFcyc.h"
#include "HNFevt.h"
#include "HNFffs.h"
#include "HNFiff_Crc.h"
#include "HNFiff_ModuleState.h"
#include "HNFstp.h"
#include "SOD.h"
#include "ScmSystemCalls.h"

EPS_UdidStore EPS_gUdidStore;
u8 EPS_gaucUdidImage[EPS_kUdidFileSize];

/// Name of the file on the host's storage.
static const char* const EPS_kUdidFileName = "CORVANE.DAT";
/// Header bytes covered by the header CRC.
static constexpr u32 EPS_kUdidHeaderCrcBytes = 62;
/// The header as EPS_StoreSadrUdidInit computed it.
static u8 EPS_aucUdidHeader[EPS_kUdidHeaderSize];
/// Access structure of the snapshot's reads.
static SOD_Access EPS_sUdidAcc;

static_assert(EPS_kUdidCrcCount == 1, "the data area fits one CRC block");

void EPS_StoreSadrUdidInit(void) {
  u8* h = EPS_aucUdidHeader;
  for (u32 i = 0; i < EPS_kUdidHeaderSize; ++i) {
    h[i] = 0;
  }
  EPS_Wr16(h + 0, static_cast<u16>(EPS_kUdidHeaderSize));
  EPS_Wr16(h + 2, EPS_kUdidFileVersion);
  EPS_Wr32(h + 4, EPS_kUdidFileSize);
  EPS_Wr32(h + 8, EPS_kUdidHeaderSize);
  EPS_Wr32(h + 12, EPS_kUdidDataSize);
  EPS_Wr32(h + 16, EPS_kUdidHeaderSize + EPS_kUdidDataSize);
  EPS_Wr32(h + 20, EPS_kUdidCrcCount);
  EPS_Wr16(h + EPS_kUdidHeaderCrcBytes, HNFiff_Crc16_755B_CalcSwp(0, EPS_kUdidHeaderCrcBytes, h));
  EPS_gUdidStore = EPS_UdidStore{};
  EPS_gUdidStore.lHandle = -1;
}

void EPS_StartStoreSadrUdid(void) { EPS_gUdidStore.bRequested = 1; }

u8 EPS_UdidStoreInProgress(void) {
  return (EPS_gUdidStore.bRequested != 0 || EPS_gUdidStore.ucState != EPS_kUdidIdle) ? 1 : 0;
}

/// Ends the current request: written, dropped or stopped by the fail-safe switch.
/// The host's reset hold-off ends here once per request, never between tries.
static void EPS_UdidEndRequest(void) {
  EPS_gUdidStore.ucState = EPS_kUdidIdle;
  EPS_gUdidStore.lHandle = -1;
  if (ScmUnlockReset(HNFstp_usSdn) != 0) {
    HNFevt_EnregisterEvent(HNFcyc_kEvtResetFailed, EPS_kUdidUnlockResetFailedInfo);
  }
}

/// A try failed: try again from the snapshot after the delay, or drop the request after the last try.
static void EPS_UdidTryFailed(void) {
  EPS_UdidStore& rStore = EPS_gUdidStore;
  rStore.lHandle = -1;
  ++rStore.ulTries;
  if (rStore.ulTries >= EPS_kUdidStoreTries) {
    EPS_UdidEndRequest();
    return;
  }
  rStore.ullLastTryUs = ScmGetUSecCounter();
  rStore.ucState = EPS_kUdidSnapshot;
}

/// Builds the whole file from the objects' current bytes; 0 (with the event) when an object cannot be read.
static u8 EPS_UdidBuildImage(void) {
  u8* pucImage = EPS_gaucUdidImage;
  for (u32 i = 0; i < EPS_kUdidHeaderSize; ++i) {
    pucImage[i] = EPS_aucUdidHeader[i];
  }
  u8* pucRecord = pucImage + EPS_kUdidHeaderSize;
  for (u32 ulSadr = 1; ulSadr <= EPS_kUdidRecordCount; ++ulSadr) {
    const u16 usIndex = static_cast<u16>(EPS_kUdidBase + ulSadr);
    EPS_sUdidAcc = SOD_Access{};
    EPS_sUdidAcc.obj.usIndex = usIndex;
    EPS_sUdidAcc.obj.ucSubIndex = 1;
    SOD_ErrorInfo err = {SOD_k_NO_ERROR, 0};
    if (SOD_AttrGetVirt(&EPS_sUdidAcc, &err) == nullptr) {
      HNFevt_EnregisterEvent(EPS_kEvtUdidStore, EPS_kUdidFailLookup);
      return 0;
    }
    const u8* pucValue = static_cast<const u8*>(SOD_ReadVirt(&EPS_sUdidAcc, &err));
    u32 ulLength = 0;
    if (pucValue == nullptr || !SOD_ActualLenGetVirt(&EPS_sUdidAcc, &ulLength) || ulLength != EPS_kUdidBytes) {
      HNFevt_EnregisterEvent(EPS_kEvtUdidStore, EPS_kUdidFailRead);
      return 0;
    }
    EPS_Wr16(pucRecord, usIndex);
    pucRecord[2] = 1;
    EPS_Wr32(pucRecord + 3, EPS_kUdidBytes);
    for (u32 b = 0; b < EPS_kUdidBytes; ++b) {
      pucRecord[7 + b] = pucValue[b];
    }
    pucRecord += EPS_kUdidFileRecordSize;
  }
  EPS_Wr32(pucRecord, HNFiff_Crc32CalcSwp(0, EPS_kUdidDataSize, pucImage + EPS_kUdidHeaderSize));
  return 1;
}

u8 EPS_StoreSadrUdid(void) {
  EPS_UdidStore& rStore = EPS_gUdidStore;
  const u8 bNormal = HNFiff_ModuleStateRead() == HNFiff_kModuleStateNormal ? 1 : 0;
  switch (rStore.ucState) {
    case EPS_kUdidIdle:
      if (rStore.bRequested == 0) {
        return 0;
      }
      rStore.bRequested = 0;
      rStore.ulTries = 0;
      rStore.ucState = EPS_kUdidSnapshot;
      return 1;
    case EPS_kUdidSnapshot:
      if (bNormal == 0) {
        // Nothing new is opened once fail-safe; the request ends so the host may reset the domain.
        EPS_UdidEndRequest();
        return 0;
      }
      if (rStore.ulTries > 0 && ScmGetUSecCounter() - rStore.ullLastTryUs < EPS_kUdidRetryDelayUs) {
        return 0;
      }
      if (EPS_UdidBuildImage() == 0) {
        EPS_UdidEndRequest();
        return 1;
      }
      rStore.ucState = EPS_kUdidOpen;
      return 1;
    case EPS_kUdidOpen: {
      if (bNormal == 0) {
        EPS_UdidEndRequest();
        return 0;
      }
      const i32 lHandle = HNFffs_Open(EPS_kUdidFileName, "w");
      if (lHandle == HNFffs_kBusy) {
        // One open per pass: a busy storage must not starve unlock requests and commands.
        return 0;
      }
      if (lHandle < 0) {
        HNFevt_EnregisterEvent(EPS_kEvtUdidStore, EPS_kUdidFailOpen);
        EPS_UdidTryFailed();
        return 1;
      }
      rStore.lHandle = lHandle;
      rStore.bTryFailed = 0;
      rStore.ucState = EPS_kUdidWrite;
      return 1;
    }
    case EPS_kUdidWrite:
      // An open file is written and closed even after the fail-safe switch.
      if (HNFffs_Write(EPS_gaucUdidImage, EPS_kUdidFileSize, rStore.lHandle) != static_cast<i32>(EPS_kUdidFileSize)) {
        HNFevt_EnregisterEvent(EPS_kEvtUdidStore, EPS_kUdidFailWrite);
        rStore.bTryFailed = 1;
      }
      rStore.ucState = EPS_kUdidClose;
      return 1;
    case EPS_kUdidClose:
      if (HNFffs_Close(rStore.lHandle) != 0) {
        HNFevt_EnregisterEvent(EPS_kEvtUdidStore, EPS_kUdidFailClose);
        rStore.bTryFailed = 1;
      }
      if (rStore.bTryFailed != 0) {
        EPS_UdidTryFailed();
      } else {
        EPS_UdidEndRequest();
      }
      return 1;
    default:
      rStore.ucState = EPS_kUdidIdle;
      return 1;
  }
}
