// Frame pump: received frames into the stack's dispatcher, the stack's
// requests out within the cycle's budget, and the transmit block with its
// sub-frame rotation and send retry.
#include "ScmProfile.h"
#include "EPSrxtx.h"

#include <cerrno>
#include <cstring>

#include "EPSglobal.h"
#include "HNFcom.h"
#include "HNFcyc.h"
#include "HNFevt_EventHook.h"
#include "MFWQZ.h"
#include "SAPL.h"
#include "SCM.h"
#include "SNMTM.h"
#include "SNMTS.h"
#include "SSC.h"
#include "SSDOC.h"
#include "vxworks.h"

namespace {
constexpr u32 k_MODULE_STATE_NORMAL = 0xFF00AA55u;  ///< module-state pattern of normal operation
constexpr u8 k_TT_SSDO = 2;                         ///< telegram type SSDO
constexpr u8 k_TT_SSDO_SLIM = 3;                    ///< telegram type slim SSDO
constexpr u8 k_TT_SNMT = 4;                         ///< telegram type SNMT
constexpr u16 k_SLIM_SHORT_MAX = 20;                ///< slim frames up to this length carry an 8-bit CRC2

/// The transmit block: at most one is out at a time.
struct TxBlock {
  u8* pucHandle;  ///< the channel's handle of the send buffer
  u8* pucBuffer;  ///< the send buffer
  u16 usLength;   ///< frame length asked for
  u8 ucType;      ///< telegram type
  u8 ucOut;       ///< 1 while the block is out
};

TxBlock s_Tx = {};                          ///< the one transmit block
u8 s_aucScratch[HNFcom_kFrameSize];         ///< rotation scratch buffer

/// Registers a pump event with its default level.
void EPS_RxTxEvent(u32 code, u16 information0, u32 information1) {
  u8 level = 2;
  if ((code >> 28) == 9) {
    level = 3;
  } else if (((code >> 20) & 0xF) == 1) {
    level = 1;
  }
  HNFevt_EnregisterEventLevel(code, information0, information1, level);
}

/// Gives the send buffer back unsent and forgets the block.
void ReleaseBlock() {
  HNFcom_FreeSendBuffer(HNFcom_kChFrame, s_Tx.pucHandle, s_Tx.pucBuffer, s_Tx.usLength);
  s_Tx = TxBlock{};
}

/// The serializer leaves TWO then ONE in the block; the wire carries ONE then TWO.
void RotateToWireOrder(u8* block, u16 length, u8 type) {
  u16 twoLen = 0;
  if (type == k_TT_SSDO_SLIM) {
    twoLen = (length > k_SLIM_SHORT_MAX) ? 7 : 6;
  } else {
    twoLen = static_cast<u16>(length / 2 + 1);
  }
  if (twoLen > length) {
    return;
  }
  const u16 oneLen = static_cast<u16>(length - twoLen);
  std::memcpy(s_aucScratch, block + twoLen, oneLen);
  std::memcpy(s_aucScratch + oneLen, block, twoLen);
  std::memcpy(block, s_aucScratch, length);
}
}  // namespace

u8* SHNF_GetTxMemBlock(u16 length, u8 telegramType) {
  if (telegramType != k_TT_SSDO && telegramType != k_TT_SSDO_SLIM && telegramType != k_TT_SNMT) {
    EPS_RxTxEvent(EPS_kEvtTxBlockMisuse, telegramType, 1);
    return nullptr;
  }
  if (s_Tx.ucOut != 0) {
    EPS_RxTxEvent(EPS_kEvtTxBlockRefused, 1, 2);
    return nullptr;
  }
  u8* buffer = nullptr;
  u8* handle = HNFcom_GetSendBuffer(HNFcom_kChFrame, &buffer, length);
  if (handle == nullptr || buffer == nullptr) {
    EPS_RxTxEvent(EPS_kEvtTxBlockRefused, 2, 2);
    return nullptr;
  }
  s_Tx.pucHandle = handle;
  s_Tx.pucBuffer = buffer;
  s_Tx.usLength = length;
  s_Tx.ucType = telegramType;
  s_Tx.ucOut = 1;
  return buffer;
}

u8 SHNF_MarkTxMemBlock(u8* block) {
  if (s_Tx.ucOut == 0 || block == nullptr || block != s_Tx.pucBuffer) {
    EPS_RxTxEvent(EPS_kEvtTxBlockMisuse, 0, 3);
    return 0;
  }
  RotateToWireOrder(block, s_Tx.usLength, s_Tx.ucType);
  for (u32 attempt = 1;; ++attempt) {
    errno = 0;
    if (HNFcom_SendBuffer(HNFcom_kChFrame, s_Tx.pucHandle, s_Tx.pucBuffer, s_Tx.usLength) == 0) {
      s_Tx = TxBlock{};
      return 1;
    }
    const int error = errno;
    if (error != SCM_ERRNO_UNAVAILABLE) {
      ReleaseBlock();
      return 0;
    }
    if (attempt >= EPS_kSendAttempts) {
      EPS_RxTxEvent(EPS_kEvtTxQueueFull, 0, static_cast<u32>(error));
      ReleaseBlock();
      return 0;
    }
    // The queue is full: the checker empties it in its own cycle.
    taskDelay(GetTaskDelayTickCount(1));
  }
}

void SHNF_ReleaseTxMemBlock(u8* block) {
  if (s_Tx.ucOut == 0 || block == nullptr || block != s_Tx.pucBuffer) {
    return;
  }
  ReleaseBlock();
}

/// Rounds of the request builders one cycle may run in the older release.
static constexpr u32 EPS_kLegacyBuilderRounds = 10;

/// The send side of a cycle: the own node's timers, then rounds of the three
/// request builders within the budget of free frames. The current release caps
/// the budget at EPS_kMaxFramesPerCycle and stops after a round that sent
/// nothing; the older one spends every free slot of the outgoing queue in at
/// most EPS_kLegacyBuilderRounds rounds, whether or not a round sent anything.
static void EPS_BuildRequests(u32 ct, u8 freeSlots) {
  u8 freeFrames = freeSlots;
  if constexpr (!SCM_kLegacy) {
    if (freeFrames > EPS_kMaxFramesPerCycle) {
      freeFrames = EPS_kMaxFramesPerCycle;
    }
  }
  SNMTS_TimerCheck(ct, &freeFrames);
  for (u32 ulRound = 0;; ++ulRound) {
    if constexpr (SCM_kLegacy) {
      if (ulRound >= EPS_kLegacyBuilderRounds || freeFrames == 0) {
        break;
      }
    }
    const u8 before = freeFrames;
    SCM_Trigger(ct, &freeFrames);
    SNMTM_BuildRequest(ct, &freeFrames);
    SSDOC_BuildRequest(ct, &freeFrames);
    if constexpr (!SCM_kLegacy) {
      if (freeFrames == 0 || freeFrames >= before) {
        break;
      }
    }
  }
}

void EPS_RxTxSsdo(void) {
  if (EPS_gGlobal.ulModuleState != k_MODULE_STATE_NORMAL || MFWQZ_RequestSwitchOperational() != 0) {
    return;
  }
  const u32 ct = EPS_gGlobal.ulCt;
  for (;;) {
    u8* buffer = nullptr;
    u32 length = 0;
    u8* message = HNFcom_GetReceiveBuffer(HNFcom_kChFrame, &buffer, &length);
    if (message == nullptr) {
      break;
    }
    if (length == 0) {
      // An empty message ends the drain for this cycle.
      HNFcom_FreeBuffer(HNFcom_kChFrame, message);
      break;
    }
    const u16 frameLen = (length > 0xFFFF) ? 0xFFFF : static_cast<u16>(length);
    if (SSC_ProcessSNMTSSDOFrame(ct, message, frameLen)) {
      while (SSC_ProcessSNMTSSDOFrame(ct, nullptr, 0)) {
      }
    }
    HNFcom_FreeBuffer(HNFcom_kChFrame, message);
  }
  EPS_BuildRequests(ct, HNFcom_GetSendBufferCount(HNFcom_kChFrame));
}
