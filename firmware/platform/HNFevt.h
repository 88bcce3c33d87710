// Firmware event store: every error and notable occurrence becomes an 11-byte
// record on the firmware-side "event" queue, complemented like every byte on
// that side. Registration decides on the fail-safe switch before storing.
#pragma once
#include "HNFevt_EventHook.h"
#include "ScmTypes.h"
#include "vxworks.h"

/// Event code: bits 31..28 class, bits 23..20 equal to 1 mark information.
using HNFevt_EventCode = u32;

/// Level of an information event.
inline constexpr u8 HNFevt_kLevelInfo = 1;
/// Level of a warning.
inline constexpr u8 HNFevt_kLevelWarning = 2;
/// Level of a fatal event.
inline constexpr u8 HNFevt_kLevelFatal = 3;
/// Highest level stored as given.
inline constexpr u8 HNFevt_kLevelMax = 4;
/// Class of ordinary events.
inline constexpr u32 HNFevt_kClassOrdinary = 6;
/// Class of fatal events (module fail-safe).
inline constexpr u32 HNFevt_kClassFatal = 9;
/// Bytes of one event record.
inline constexpr u32 HNFevt_kRecordSize = 11;
/// Fatal event: an event of a class other than 6 or 9 was registered (information1 = class).
inline constexpr u32 HNFevt_kEvtUnknownClass = 0x92008500u;
/// Sent in place of an event that takes the last free slot of the queue.
inline constexpr u32 HNFevt_kEvtOverflow = 0x62108580u;
/// Events stored after the fail-safe switch, the causing one included, that still reach the host.
inline constexpr u32 HNFevt_kMaxEventsSinceFailSafe = 3;

/// Registration calls so far.
extern u32 HNFevt_ulEventCount;
/// Events stored while the module state was not normal.
extern u32 HNFevt_ulEventsSinceFailSafe;
/// Nesting depth of registration (registration raises events itself).
extern u32 HNFevt_sulCalled;
/// The store's own handle of the firmware-side "event" queue; null until opened.
extern MSG_Q_ID HNFevt_pEventQueue;

/// Default level of a code: 3 for class 9, 1 for information codes, else 2.
u8 HNFevt_DefaultLevel(HNFevt_EventCode code);
/// Registers an event with its default level and information0 = 0.
void HNFevt_EnregisterEvent(HNFevt_EventCode code, u32 information1);
/// Registers an event with its default level.
void HNFevt_EnregisterEventInfo(HNFevt_EventCode code, u16 information0, u32 information1);
/// Builds the record and sends it complemented on the event queue (never blocks).
void HNFevt_StoreEvent(HNFevt_EventCode code, u16 information0, u32 information1, u8 level);
/// Writes the 11-byte record (level, code, information0, information1) little-endian.
void HNFevt_FillRecord(u8* record, HNFevt_EventCode code, u16 information0, u32 information1, u8 level);
