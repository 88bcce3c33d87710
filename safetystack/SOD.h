// The safety object dictionary: the real table of entries, the virtual ranges
// and the access structure through which users read and write both.
#pragma once
#include "SCFM.h"
#include "ScmProfile.h"
#include "ScmTypes.h"

struct SOD_Entry;

/// Object callback: (service, record, data, offset, size, abort code out) -> false refuses.
/// The record is the entry for real objects (which the callback must not change) and the
/// access structure's object part for virtual ones (service 0 fills its attribute part).
using SOD_Callback = bool (*)(u8 service, SOD_Entry* record, const void* data, u32 offset, u32 size,
                              u32* abortCode);

/// Callback services. The older release has no virtual objects and so no
/// attribute get; it numbers the other services from 0.
enum : u8 {
#if !SCM_PROFILE_LEGACY
  SOD_k_SRV_ATTR_GET = 0,  ///< attribute get (virtual objects)
#endif
  SOD_k_SRV_BEFORE_READ = SCM_ProfileValue<u8>(1, 0),   ///< before read
  SOD_k_SRV_BEFORE_WRITE = SCM_ProfileValue<u8>(2, 1),  ///< before write (data = the new value)
  SOD_k_SRV_AFTER_WRITE = SCM_ProfileValue<u8>(3, 2)    ///< after write
};

/// Attribute bits.
enum : u16 {
  SOD_k_ATTR_DEFAULT = 0x0001,   ///< with 0x0008: a default value is required
  SOD_k_ATTR_CONST = 0x0002,     ///< constant
  SOD_k_ATTR_READ = 0x0004,      ///< readable
  SOD_k_ATTR_WRITE = 0x0008,     ///< writable
  SOD_k_ATTR_CRC = 0x0010,       ///< covered by the platform's parameter CRC
  SOD_k_ATTR_BEF_RD = 0x0100,    ///< callback before read
  SOD_k_ATTR_BEF_WR = 0x0200,    ///< callback before write
  SOD_k_ATTR_AFT_WR = 0x0400,    ///< callback after write
  SOD_k_ATTR_PTR = 0x0800,       ///< value reached through a pointer
  SOD_k_ATTR_VIRT = 0x2000,      ///< virtual object
  SOD_k_ATTR_ARRAY = 0x4000,     ///< array inside a virtual range
  SOD_k_ATTR_RESERVED = SCM_kProfileSodReservedAttr  ///< reserved bits of the real table (older release: 0x2000 too)
};

/// Data types.
enum : u32 {
  SOD_k_BOOLEAN = 0,   ///< boolean, 1 byte
  SOD_k_INT8 = 1,      ///< int8
  SOD_k_INT16 = 2,     ///< int16
  SOD_k_INT32 = 3,     ///< int32
  SOD_k_INT64 = 4,     ///< int64
  SOD_k_UINT8 = 5,     ///< uint8
  SOD_k_UINT16 = 6,    ///< uint16
  SOD_k_UINT32 = 7,    ///< uint32
  SOD_k_UINT64 = 8,    ///< uint64
  SOD_k_REAL32 = 9,    ///< real32
  SOD_k_REAL64 = 10,   ///< real64
  SOD_k_VSTRING = 11,  ///< visible string
  SOD_k_OSTRING = 12,  ///< octet string
  SOD_k_DOMAIN = 13,   ///< domain
  SOD_k_PLACEHOLDER = 14  ///< type of a virtual range until its callback supplies the real one
};

/// Index of the end record.
constexpr u16 SOD_k_END_INDEX = 0xFFFF;
/// Error number of success in a SOD_ErrorInfo.
constexpr u16 SOD_k_NO_ERROR = 0xFFFF;

/// Attribute part of an object: what lookups return and access structures carry.
struct SOD_AttrPart {
  u16 usAttr;           ///< attribute bits
  u32 ulDataType;       ///< data type 0..13
  u32 ulLength;         ///< size of the value; types 11..13 the maximum length
  const void* pvDefault;  ///< default value or null
  void* pvData;         ///< the value; types 11..13 a SOD_VarData; with 0x0800 the address of a pointer
  const void* pvRange;  ///< null or {minimum, maximum} of the object's type
  SOD_Callback pfCallback;  ///< null or the object's callback
};

/// One object of the real table (also the object part of an access structure).
struct SOD_Entry {
  u16 usIndex;        ///< object index; 0xFFFF only in the end record
  u8 ucSubIndex;      ///< sub-index
  SOD_AttrPart attr;  ///< attribute part
};

/// Value record of types 11..13.
struct SOD_VarData {
  u32 ulActLen;   ///< actual length
  u8* pucData;    ///< the bytes (the entry's length is the maximum)
};

/// Result of lookups and reads.
struct SOD_ErrorInfo {
  u16 usErrNum;    ///< error number; 0xFFFF = success
  u32 ulAbortCode; ///< SSDO abort code; 0 = success
};

/// Access structure: resolved once, then read and written through.
struct SOD_Access {
  SOD_Entry obj;          ///< index and sub-index (set by the user) and the attribute part
  u32 ulSegOffset;        ///< offset of a partial read or write (types 11..13); 0 = whole value
  u32 ulSegSize;          ///< size of a partial read or write; 0 = whole value
  const SOD_Entry* pHdl;  ///< the real entry; null for a virtual object
};

/// One virtual range.
struct SOD_VirtRange {
  u16 usAttr;             ///< 0x2000 virtual; 0x4000 array range
  u32 ulDataType;         ///< placeholder (14) until the callback supplies the type
  u32 ulLength;           ///< element length (array ranges) or 0
  const void* pvDefault;  ///< default value or null
  u16 usFirstIndex;       ///< first index of the span
  u16 usLastIndex;        ///< last index of the span
  u8 ucFirstSub;          ///< first sub-index, the same for every index
  u8 ucLastSub;           ///< last sub-index
  void* pvData;           ///< base of the data (array ranges) or null
  const void* pvRange;    ///< null or {minimum, maximum}
  SOD_Callback pfCallback;  ///< supplies the object (service 0) and takes part in reads and writes
};

/// Data argument of SOD_Write / SOD_WriteVirt that writes an empty value to a
/// type 11..13 object: whole-write checks and callbacks, actual length 0, nothing copied.
extern const void* const SOD_pvEmptyValue;

// ---- real table (SODmain, SODattr, SODcheck, SODlock) ----
bool SOD_Init();
/// Lookup; the fourth parameter is reserved and ignored.
const SOD_AttrPart* SOD_AttrGet(u16 index, u8 subIndex, const SOD_Entry** handle, u8 reserved,
                                SOD_ErrorInfo* err);
const SOD_AttrPart* SOD_AttrGetNext(bool first, const SOD_Entry** handle, SOD_ErrorInfo* err);
const SOD_Entry* SOD_GetSodStartAddr();
bool SOD_HdlValid(const SOD_Entry* handle, SOD_ErrorInfo* err);
void* SOD_Read(const SOD_Entry* handle, u32 offset, u32 size, SOD_ErrorInfo* err);
bool SOD_Write(const SOD_Entry* handle, const void* data, bool appWrite, u32 offset, u32 size);
bool SOD_ActualLenGet(const SOD_Entry* handle, u32* out);
bool SOD_ActualLenSet(const SOD_Entry* handle, u32 length);
bool SOD_Lock();
bool SOD_Unlock();
bool SOD_IsLocked();
bool SOD_WriteAccess();
bool SOD_DisableSodWrite();
bool SOD_EnableSodWrite();

/// Compares two values of a numeric type (signed, unsigned or floating point): -1, 0 or 1.
int SOD_CompareByType(u32 type, const void* a, const void* b);
/// True when the real table holds any sub-index of this index.
bool SOD_IndexExists(u16 index);
/// True for the types 11..13 with a SOD_VarData value.
inline bool SOD_IsVarType(u32 type) {
  SCFM_Tack();
  return type >= SOD_k_VSTRING && type <= SOD_k_DOMAIN;
}
/// Lock flags to unlocked and write access to enabled.
void SOD_InitLock();
/// Table bounds of the real table (0xF71B, 0xF71C).
bool SOD_InitAddr();
/// Consistency check of the real table and the virtual objects, merged in (index, sub-index) order.
bool SOD_Check();

// ---- steps of a write, shared by the real table and the access interface ----
/// Range check of a new value (reports its refusal).
bool SOD_DataValid(const void* value, const SOD_AttrPart* attr, u32 offset, u32 size);
/// Copies a value (offset and size 0: the whole length) to the object's value address.
void SOD_DataCpy(const void* value, const SOD_AttrPart* attr, u32 offset, u32 size);
/// Writeable rule (reports 0x270B).
bool SOD_ObjectWriteable(const SOD_AttrPart* attr, bool appWrite);
/// Same-value rule: true when the write succeeds at once because a read-only object already holds the value.
bool SOD_ObjectReadOnly(const SOD_AttrPart* attr, const void* data, bool appWrite);
/// After-write callback when the write completes the value; false when it refuses (reported).
bool SOD_CallAfterWriteClbk(SOD_Entry* record, u32 offset, u32 size);
/// Address of an object's value (types 11..13 the SOD_VarData bytes, 0x0800 the stored pointer).
u8* SOD_ValueAddr(const SOD_AttrPart* attr);
/// Actual length of a value: the SOD_VarData length for 11..13, else the length.
u32 SOD_ActualLen(const SOD_AttrPart* attr);
/// Default-value rule for one object; false when a given default fails its range.
bool SOD_SetDefault(const SOD_AttrPart* attr);
/// Checks of one object's description (length, range, attributes, data); false reported with info.
bool SOD_CheckObject(const SOD_Entry* obj, bool virtualObj);

// ---- access structures (SODvirt) and virtual ranges (SODrange; the older release: SODrealOnly) ----
/// Takes the virtual ranges of the user (the older release has none).
void SOD_InitVirt();
const SOD_AttrPart* SOD_AttrGetVirt(SOD_Access* acc, SOD_ErrorInfo* err);
/// Resolves an object the real table lacks among the virtual ranges (0xF745 when none holds it).
const SOD_AttrPart* SOD_AttrGetRange(SOD_Access* acc, SOD_ErrorInfo* err);
/// The failed lookup of an object neither table holds: 0xF745, naming a missing
/// sub-index whenever the real table or a range knows the index; null.
const SOD_AttrPart* SOD_UnknownObject(const SOD_Access* acc, bool rangeKnowsIndex, SOD_ErrorInfo* err);
/// Fills the access structure for (index, sub) and resolves it, real or virtual;
/// a failure is reported through SERR_SetError with the SOD's code and abort code.
bool SOD_AccessBind(SOD_Access* acc, u16 index, u8 subIndex);
void* SOD_ReadVirt(SOD_Access* acc, SOD_ErrorInfo* err);
bool SOD_WriteVirt(SOD_Access* acc, const void* data, bool appWrite);
bool SOD_ActualLenGetVirt(SOD_Access* acc, u32* out);
bool SOD_ActualLenSetVirt(SOD_Access* acc, u32 length);
const SOD_AttrPart* SOD_AttrGetNextVirt(bool first, SOD_Access* acc, SOD_ErrorInfo* err);
bool SOD_SetDefaultValuesVirt();
