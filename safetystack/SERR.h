// Error reporting of the safety stack and its statistic counters.
#pragma once
#include "ScmProfile.h"
#include "ScmTypes.h"

/// Stack error code: bits 15..14 fail-safe class, 13..12 type, 11..8 unit, 7..0 number.
using SERR_ErrorCode = u16;

/// Number of common statistic counters (indices 0..12).
constexpr u8 SERR_kCommonCounters = 13;
/// Number of acyclic counter slots (one per SSDO client / SNMT master slot, 12 or 101).
constexpr u16 SERR_kAcycSlots = static_cast<u16>(SCM_kProfileMaxNodes);
/// Counters per acyclic slot.
constexpr u8 SERR_kAcycCounters = 13;
/// Highest acyclic index the reader hands out (SSDO client kinds 0, 1; SNMT master kinds 2, 3).
constexpr u8 SERR_kAcycReadMax = 3;

/// Common counter indices.
enum : u8 {
  SERR_k_FRAME_LEN = 0,       ///< received frame length wrong
  SERR_k_LE_255 = 1,          ///< received LE 255
  SERR_k_ID_DIFFER = 2,       ///< sub-frame ids differ
  SERR_k_ADR_0 = 3,           ///< ADR 0 received
  SERR_k_SDN_0 = 4,           ///< SDN 0 received
  SERR_k_TADR_0 = 5,          ///< TADR 0 received
  SERR_k_CRC1 = 6,            ///< CRC1 wrong
  SERR_k_CRC2 = 7,            ///< CRC2 wrong
  SERR_k_DATA_DIFFER = 8,     ///< payloads of the sub-frames differ
  SERR_k_SPDO = 10,           ///< SPDO events
  SERR_k_NOT_PROCESSED = 11,  ///< received frame not processed
  SERR_k_ACYC = 12            ///< any acyclic event
};

/// Last additional info := 0.
void SERR_Init();
/// Remembers info as the last additional info and hands (code, info) to the user.
void SERR_SetError(SERR_ErrorCode code, u32 info);
/// Info of the last reported error (the SSDO server's abort code of a failed SOD operation).
u32 SERR_GetLastAddInfo();

/// Counts common counter index (an index above 12 counts nothing).
void SERR_CountCommonEvt(u8 index);
/// Counts an SPDO event (common counter 10).
void SERR_CountSpdoEvt();
/// Counts acyclic counter [slot][index] and common counter 12; slot above 11 or index above 12 counts nothing.
void SERR_CountAcycEvt(u16 slot, u8 index);

/// Reads a common counter; false for index above 12 or a null out.
bool SERR_GetCommonStatCtr(u8 index, u32* out);
/// Reads an acyclic counter; false for slot above 11, index above 3 or a null out.
bool SERR_GetAcycStatCtr(u16 slot, u8 index, u32* out);
