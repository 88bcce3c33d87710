// Writer of the SADR-UDID list: rewrites "CORVANE.DAT" whole from the object
// dictionary (objects 0xCC01 to 0xCFFF) when the application or the parser
// asks. The whole file is built first in a static image and then written with
// one write, so that no torn UDID reaches the storage; the background task
// runs the steps while the cyclic task goes on.
#pragma once
#include "ScmTypes.h"

/// Bytes of the file's header.
inline constexpr u32 EPS_kUdidHeaderSize = 64;
/// Records of the file: one per SADR 1 to 1023.
inline constexpr u32 EPS_kUdidRecordCount = 1023;
/// Bytes of one record: u16 index, u8 sub-index 1, u32 length 6, six UDID bytes.
inline constexpr u32 EPS_kUdidFileRecordSize = 13;
/// Bytes of the data area.
inline constexpr u32 EPS_kUdidDataSize = EPS_kUdidRecordCount * EPS_kUdidFileRecordSize;
/// Bytes of one CRC block of the data area.
inline constexpr u32 EPS_kUdidCrcBlockSize = 16384;
/// CRCs of the data area (one per started block).
inline constexpr u32 EPS_kUdidCrcCount = (EPS_kUdidDataSize + EPS_kUdidCrcBlockSize - 1) / EPS_kUdidCrcBlockSize;
/// Bytes of the whole file.
inline constexpr u32 EPS_kUdidFileSize = EPS_kUdidHeaderSize + EPS_kUdidDataSize + 4 * EPS_kUdidCrcCount;
/// Version the writer stores.
inline constexpr u16 EPS_kUdidFileVersion = 2;
/// Tries of one request (the first and the repeats after a failure).
inline constexpr u32 EPS_kUdidStoreTries = 3;
/// Least time between two tries (microseconds of the host's counter).
inline constexpr u64 EPS_kUdidRetryDelayUs = 1000000u;

/// Event of a failed write (information1 = one of the EPS_kUdidFail* below).
inline constexpr u32 EPS_kEvtUdidStore = 0x6200AF41u;
/// information1: a short or failed write.
inline constexpr u32 EPS_kUdidFailWrite = 1;
/// information1: the open was refused (not busy).
inline constexpr u32 EPS_kUdidFailOpen = 2;
/// information1: the close failed.
inline constexpr u32 EPS_kUdidFailClose = 3;
/// information1: a UDID object could not be read.
inline constexpr u32 EPS_kUdidFailRead = 4;
/// information1: a UDID object could not be looked up.
inline constexpr u32 EPS_kUdidFailLookup = 5;
/// information1 of HNFcyc_kEvtResetFailed when the host refused to end the reset hold-off.
inline constexpr u32 EPS_kUdidUnlockResetFailedInfo = 1;

/// Writer states.
enum EPS_UdidStoreState : u8 {
  EPS_kUdidIdle = 0,      ///< nothing to do; a request starts a snapshot
  EPS_kUdidSnapshot = 1,  ///< build the whole file from the object dictionary
  EPS_kUdidOpen = 2,      ///< open "CORVANE.DAT" for writing (busy: next pass)
  EPS_kUdidWrite = 3,     ///< write the image with one write
  EPS_kUdidClose = 4,     ///< close the file; then end the request or try again
};

/// The writer's state.
struct EPS_UdidStore {
  u8 bRequested;      ///< a rewrite was asked for and not yet started
  u8 ucState;         ///< one of EPS_UdidStoreState
  i32 lHandle;        ///< the open file while writing
  u8 bTryFailed;      ///< the current try failed (write or close)
  u32 ulTries;        ///< tries of the current request so far
  u64 ullLastTryUs;   ///< host counter when the last failed try ended (microseconds)
};

/// The writer of this process.
extern EPS_UdidStore EPS_gUdidStore;
/// The file image of the current request.
extern u8 EPS_gaucUdidImage[EPS_kUdidFileSize];

/// Prepares the writer (stack initialisation): the fixed header, the writer idle.
void EPS_StoreSadrUdidInit(void);
/// Asks for the list to be written.
void EPS_StartStoreSadrUdid(void);
/// 1 while a write is requested or under way.
u8 EPS_UdidStoreInProgress(void);
/// One step of the write; 0 when the background pass must stop stepping (busy storage, a wait, or idle).
u8 EPS_StoreSadrUdid(void);
