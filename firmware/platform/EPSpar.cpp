// Parsers of the parameter files. Every bound is computed in 64 bits, so that
// no sum of header fields can wrap past a check.
#include "EPSpar.h"

#include <cstring>

#include "EPSbytes.h"
#include "EPSglobal.h"
#include "EPSod.h"
#include "EPSudid.h"
#include "HNFevt.h"
#include "HNFffs.h"
#include "HNFiff_Crc.h"
#include "SOD.h"
#include "ScmSystemCalls.h"

namespace {
/// States of the record stream parser.
enum : u8 {
  k_ST_HEADER = 0,  ///< read the next record header
  k_ST_LENGTH = 1,  ///< check the data length against the stream
  k_ST_LOOKUP = 2,  ///< look the object up and check the length
  k_ST_IDLE = 3,    ///< one idle step
  k_ST_WRITE = 4,   ///< write the record
  k_ST_DONE = 5     ///< the stream is done
};

/// Largest numeric value of a record.
constexpr u32 k_NUMERIC_MAX = 8;
/// Version 1 of "corvane.dat" (CRC-16 0x5935, rewritten in version 2).
constexpr u16 k_CORVANE_V1 = 1;
/// Version 2 of "corvane.dat".
constexpr u16 k_CORVANE_V2 = 2;
/// Information1 of the version-1 event of "corvane.dat".
constexpr u32 k_CORVANE_V1_INFO = 0x20001;
/// Version 0x0100 of "pardata1.bin".
constexpr u16 k_PARDATA_V1 = 0x0100;
/// Version 0x0200 of "pardata1.bin", whose entries of SADR 2000 and above are skipped.
constexpr u16 k_PARDATA_V2 = 0x0200;
/// Entries of a version-0x0200 file with a SADR from here on are skipped.
constexpr u16 k_PARDATA_SKIP_SADR = 2000;
/// Highest entry number of "pardata1.bin".
constexpr u8 k_ENTRY_NUMBER_MAX = 15;
/// Header version of an entry.
constexpr u8 k_ENTRY_VERSION = 1;
/// Highest SADR.
constexpr u16 k_SADR_MAX = 1023;

/// The record stream parser's state.
struct ParserState {
  u8 ucState;          ///< one of k_ST_*
  const u8* pucData;   ///< the stream
  u32 ulLength;        ///< bytes of the stream
  u32 ulPos;           ///< offset of the next unread byte
  u16 usIndex;         ///< index of the current record
  u8 ucSub;            ///< sub-index of the current record
  u32 ulRecLen;        ///< data length of the current record
  u8 bUdidOnly;        ///< only SADR-to-UDID records load ("corvane.dat")
};

ParserState s_Parser = {k_ST_DONE, nullptr, 0, 0, 0, 0, 0, 0};  ///< the one stream being parsed
SOD_Access s_RecAcc;   ///< access structure of the current record's object
SOD_Access s_InitAcc;  ///< access structure of the parser's own writes

/// Number of 16 KiB blocks of an area.
u64 BlockCount(u64 length) { return (length + EPS_kCrcBlockSize - 1) / EPS_kCrcBlockSize; }

/// True when [offset, offset + length) lies inside size bytes.
bool Inside(u64 offset, u64 length, u64 size) { return offset <= size && length <= size - offset; }

/// Checks the blocks of an area against its CRC list; 0 when they match, else the
/// bytes not yet checked, the failing block included.
u32 CheckBlocks(const u8* area, u32 length, const u8* crcList) {
  u32 ulDone = 0;
  for (u32 b = 0; ulDone < length; ++b) {
    const u32 ulBlock = (length - ulDone) < EPS_kCrcBlockSize ? (length - ulDone) : EPS_kCrcBlockSize;
    const u32 ulCrc = HNFiff_Crc32CalcSwp(0, static_cast<i32>(ulBlock), area + ulDone);
    if (ulCrc != EPS_Rd32(crcList + 4u * b)) {
      return length - ulDone;
    }
    ulDone += ulBlock;
  }
  return 0;
}

/// The checks every file shares, in this order: the CRC count of the area (reason 3), the
/// area and its CRC list inside the file (reason 4 with the file length) and, unless a check
/// between them fails first, the block CRCs (reason 6); false after the reported fault.
bool CheckCrcLayout(u32 code, u32 size, u32 fileLen, u64 areaOff, u32 areaLen, u64 crcOff, u32 crcCount) {
  if (crcCount != BlockCount(areaLen)) {
    HNFevt_EnregisterEventInfo(code, EPS_kReasonCrcCount, crcCount);
    return false;
  }
  if (!Inside(areaOff, areaLen, size) || !Inside(crcOff, 4ull * crcCount, size)) {
    HNFevt_EnregisterEventInfo(code, EPS_kReasonLayout, fileLen);
    return false;
  }
  return true;
}

/// The block CRCs of an area that lies inside the file; false after the reported fault.
bool CheckBlocksReported(u32 code, const u8* data, u32 areaOff, u32 areaLen, u32 crcOff) {
  const u32 ulLeft = CheckBlocks(data + areaOff, areaLen, data + crcOff);
  if (ulLeft != 0) {
    HNFevt_EnregisterEventInfo(code, EPS_kReasonBlockCrc, ulLeft);
    return false;
  }
  return true;
}

/// Information1 of the record events.
u32 RecordInfo() { return (static_cast<u32>(s_Parser.ucSub) << 16) | s_Parser.usIndex; }

/// A record fault: event, the shared error flag, and the record skipped.
void RecordFault(u32 code) {
  HNFevt_EnregisterEvent(code, RecordInfo());
  EPS_gGlobal.ucParamError = 1;
}

/// Resolves an object into an access structure; the attribute part or null.
const SOD_AttrPart* Resolve(SOD_Access* acc, u16 index, u8 sub) {
  *acc = SOD_Access{};
  acc->obj.usIndex = index;
  acc->obj.ucSubIndex = sub;
  SOD_ErrorInfo err = {SOD_k_NO_ERROR, 0};
  return SOD_AttrGetVirt(acc, &err);
}

/// Start of a stream: with clear, the own checksum and timestamp are emptied.
void StartStream(u8 clear, const u8* data, u32 length, u8 udidOnly) {
  s_Parser = ParserState{k_ST_HEADER, data, data == nullptr ? 0 : length, 0, 0, 0, 0, udidOnly};
  if (clear == 0) {
    return;
  }
  if (Resolve(&s_InitAcc, 0x1018, 6) != nullptr) {
    (void)SOD_WriteVirt(&s_InitAcc, SOD_pvEmptyValue, true);
  }
  const u32 ulZero = 0;
  if (Resolve(&s_InitAcc, 0x1018, 7) != nullptr) {
    (void)SOD_WriteVirt(&s_InitAcc, &ulZero, true);
  }
  EPS_gGlobal.ucParamError = 0;
}

/// Looks the current record's object up; false when the record is skipped.
bool LookUp() {
  const bool udidRecord = s_Parser.usIndex >= EPS_kUdidFirst && s_Parser.usIndex <= EPS_kUdidLast &&
                          s_Parser.ucSub == 1 && s_Parser.ulRecLen == EPS_kUdidBytes;
  const SOD_AttrPart* attr = nullptr;
  if (s_Parser.bUdidOnly == 0 || udidRecord) {
    attr = Resolve(&s_RecAcc, s_Parser.usIndex, s_Parser.ucSub);
  }
  if (attr == nullptr) {
    RecordFault(EPS_kEvtRecordObject);
    return false;
  }
  const bool fits = SOD_IsVarType(attr->ulDataType) ? s_Parser.ulRecLen <= attr->ulLength
                                                    : s_Parser.ulRecLen == attr->ulLength;
  if (!fits) {
    RecordFault(EPS_kEvtRecordLength);
    return false;
  }
  return true;
}

/// Writes the current record into its object.
void WriteRecord() {
  const u8* pucValue = s_Parser.pucData + s_Parser.ulPos;
  const u32 ulLen = s_Parser.ulRecLen;
  SOD_AttrPart& attr = s_RecAcc.obj.attr;
  if (SOD_IsVarType(attr.ulDataType) && EPS_OdIsPointedDomain(s_Parser.usIndex, s_Parser.ucSub)) {
    // The bytes stay in the file space; the domain only points at them.
    SOD_VarData* pVar = static_cast<SOD_VarData*>(attr.pvData);
    pVar->pucData = const_cast<u8*>(pucValue);
    pVar->ulActLen = ulLen;
    return;
  }
  if (SOD_IsVarType(attr.ulDataType)) {
    u32 ulOldLen = 0;
    (void)SOD_ActualLenGetVirt(&s_RecAcc, &ulOldLen);
    if (!SOD_ActualLenSetVirt(&s_RecAcc, ulLen)) {
      HNFevt_EnregisterEventInfo(EPS_kEvtRecordWrite, EPS_kWriteLength, RecordInfo());
      return;
    }
    s_RecAcc.ulSegOffset = 0;
    s_RecAcc.ulSegSize = ulLen;
    if (!SOD_WriteVirt(&s_RecAcc, ulLen == 0 ? SOD_pvEmptyValue : pucValue, true)) {
      // A refused write must not leave the object with the record's length.
      (void)SOD_ActualLenSetVirt(&s_RecAcc, ulOldLen);
      HNFevt_EnregisterEventInfo(EPS_kEvtRecordWrite, EPS_kWriteBytes, RecordInfo());
    }
    return;
  }
  u8 aucValue[k_NUMERIC_MAX] = {};
  std::memcpy(aucValue, pucValue, ulLen <= k_NUMERIC_MAX ? ulLen : k_NUMERIC_MAX);
  if (!SOD_WriteVirt(&s_RecAcc, aucValue, true)) {
    HNFevt_EnregisterEventInfo(EPS_kEvtRecordWrite, EPS_kWriteValue, RecordInfo());
  }
}

/// One step of the record stream parser.
u8 ParserStep(u8* start, u8 clear, const u8* data, u32 length, u8 udidOnly) {
  if (start != nullptr && *start != 0) {
    *start = 0;
    StartStream(clear, data, length, udidOnly);
    return 0;
  }
  const u32 ulLeft = s_Parser.ulLength - s_Parser.ulPos;
  switch (s_Parser.ucState) {
    case k_ST_HEADER: {
      if (ulLeft < EPS_kRecordHeaderSize) {
        s_Parser.ucState = k_ST_DONE;
        return 1;
      }
      const u8* p = s_Parser.pucData + s_Parser.ulPos;
      s_Parser.usIndex = EPS_Rd16(p);
      s_Parser.ucSub = p[2];
      s_Parser.ulRecLen = EPS_Rd32(p + 3);
      s_Parser.ulPos += EPS_kRecordHeaderSize;
      s_Parser.ucState = k_ST_LENGTH;
      return 0;
    }
    case k_ST_LENGTH:
      if (ulLeft < s_Parser.ulRecLen) {
        RecordFault(EPS_kEvtRecordLength);
        s_Parser.ucState = k_ST_DONE;
        return 1;
      }
      s_Parser.ucState = k_ST_LOOKUP;
      return 0;
    case k_ST_LOOKUP:
      if (LookUp()) {
        s_Parser.ucState = k_ST_IDLE;
      } else {
        s_Parser.ulPos += s_Parser.ulRecLen;
        s_Parser.ucState = k_ST_HEADER;
      }
      return 0;
    case k_ST_IDLE:
      s_Parser.ucState = k_ST_WRITE;
      return 0;
    case k_ST_WRITE:
      WriteRecord();
      s_Parser.ulPos += s_Parser.ulRecLen;
      s_Parser.ucState = k_ST_HEADER;
      return 0;
    default:
      s_Parser.ucState = k_ST_DONE;
      return 1;
  }
}

/// Runs a whole stream.
void ParseAll(u8 clear, const u8* data, u32 length, u8 udidOnly) {
  u8 ucStart = 1;
  while (ParserStep(&ucStart, clear, data, length, udidOnly) == 0) {
  }
}

void KelFault(u16 reason, u32 info) { HNFevt_EnregisterEventInfo(EPS_kEvtKelPara, reason, info); }
void CorvaneFault(u16 reason, u32 info) { HNFevt_EnregisterEventInfo(EPS_kEvtCorvane, reason, info); }
void ParDataFault(u16 reason, u32 info) { HNFevt_EnregisterEventInfo(EPS_kEvtParData, reason, info); }

/// Empties "PARDATA1.BIN" on storage and reports 259, or 260 when it cannot be opened.
void EmptyParData() {
  const u64 ullStart = ScmGetUSecCounter();
  i32 lHandle = HNFffs_Open("PARDATA1.BIN", "w");
  while (lHandle == HNFffs_kBusy && ScmGetUSecCounter() - ullStart < EPS_kEmptyRetryUs) {
    lHandle = HNFffs_Open("PARDATA1.BIN", "w");
  }
  // The pseudo handle of a missing file empties nothing: the open failed.
  if (lHandle < 0 || lHandle == EPS_kPseudoHandle) {
    ParDataFault(EPS_kReasonEmptyFailed, static_cast<u32>(lHandle));
    return;
  }
  (void)HNFffs_Close(lHandle);
  ParDataFault(EPS_kReasonEmptied, 0);
}

/// True when the SADR is the main SADR of a node-list object.
bool InNodeList(u16 sadr) {
  for (u32 i = 0; i < EPS_kNodeCount; ++i) {
    if (EPS_gaNodes[i].usSadr == sadr) {
      return true;
    }
  }
  return false;
}

/// Checks the header and blocks of "pardata1.bin"; false after a reported fault.
bool CheckParDataFile(u32 size, const u8* data) {
  if (size < EPS_kFileHeaderSize) {
    ParDataFault(EPS_kReasonLength, size);
    return false;
  }
  const u16 usVersion = EPS_Rd16(data + 4);
  const u16 usHeaderLen = EPS_Rd16(data + 2);
  const u32 ulDataLen = EPS_Rd32(data + 12);
  const u32 ulDataOff = EPS_Rd32(data + 16);
  const u32 ulCrcCount = EPS_Rd32(data + 20);
  const u32 ulCrcOff = EPS_Rd32(data + 24);
  if (usVersion != k_PARDATA_V1 && usVersion != k_PARDATA_V2) {
    ParDataFault(EPS_kReasonVersion, usVersion);
    return false;
  }
  if (usHeaderLen != EPS_kFileHeaderSize) {
    ParDataFault(EPS_kReasonHeaderLength, usHeaderLen);
    return false;
  }
  if (static_cast<u64>(size) != EPS_kFileHeaderSize + static_cast<u64>(ulDataLen) + 4ull * ulCrcCount) {
    ParDataFault(EPS_kReasonLength, size);
    return false;
  }
  const u32 ulStored = EPS_Rd32(data + 60);
  if (HNFiff_Crc32CalcSwp(0, 60, data) != ulStored) {
    ParDataFault(EPS_kReasonHeaderCrc, ulStored);
    return false;
  }
  if (ulDataOff != EPS_kFileHeaderSize) {
    ParDataFault(EPS_kReasonLayout, ulDataOff);
    return false;
  }
  if (EPS_Rd16(data + 6) != EPS_kFileHeaderSize) {
    ParDataFault(EPS_kReasonLayout, EPS_Rd16(data + 6));
    return false;
  }
  // The size check above has placed the data area inside the file.
  return CheckCrcLayout(EPS_kEvtParData, size, size, ulDataOff, ulDataLen, ulCrcOff, ulCrcCount) &&
         CheckBlocksReported(EPS_kEvtParData, data, ulDataOff, ulDataLen, ulCrcOff);
}

/// Walks the entries of a checked "pardata1.bin"; false after a reported fault.
bool LoadParDataEntries(const u8* data, u32* loaded) {
  const u16 usCount = EPS_Rd16(data);
  const u16 usVersion = EPS_Rd16(data + 4);
  const u32 ulDataLen = EPS_Rd32(data + 12);
  const u8* pucArea = data + EPS_kFileHeaderSize;
  u64 q = 0;
  for (u32 e = 0; e < usCount; ++e) {
    if (!Inside(q, EPS_kAddParHeaderSize, ulDataLen)) {
      ParDataFault(EPS_kReasonEntryBounds, e);
      return false;
    }
    const u8* pucEntry = pucArea + q;
    const u8 ucNumber = pucEntry[0];
    const u16 usSadr = EPS_Rd16(pucEntry + 2);
    const u32 ulPayload = EPS_Rd32(pucEntry + 4);
    const bool skip = usVersion == k_PARDATA_V2 && usSadr >= k_PARDATA_SKIP_SADR;
    const bool valid = pucEntry[1] == k_ENTRY_VERSION && ucNumber <= k_ENTRY_NUMBER_MAX && usSadr >= 1 &&
                       usSadr <= k_SADR_MAX;
    if (!skip && !valid) {
      ParDataFault(EPS_kReasonEntry, (static_cast<u32>(usVersion) << 16) + usSadr);
      return false;
    }
    const u64 ullEntryLen = EPS_kAddParHeaderSize + static_cast<u64>(ulPayload);
    if (!Inside(q, ullEntryLen, ulDataLen)) {
      ParDataFault(EPS_kReasonEntryBounds, e);
      return false;
    }
    if (!skip) {
      if (!InNodeList(usSadr)) {
        ParDataFault(EPS_kReasonEntrySadr, e);
        return false;
      }
      const SOD_AttrPart* attr =
          Resolve(&s_RecAcc, static_cast<u16>(EPS_kAddParBase + usSadr), static_cast<u8>(ucNumber + 1));
      // An entry longer than the domain may hold has no object to load into.
      if (attr == nullptr || !SOD_IsVarType(attr->ulDataType) || ullEntryLen > attr->ulLength) {
        ParDataFault(EPS_kReasonEntrySadr, e);
        return false;
      }
      SOD_VarData* pVar = static_cast<SOD_VarData*>(attr->pvData);
      pVar->pucData = const_cast<u8*>(pucEntry);
      pVar->ulActLen = static_cast<u32>(ullEntryLen);
      ++*loaded;
    }
    q += ullEntryLen;
  }
  return true;
}
}  // namespace

u8 EPS_ParameterParser(u8* start, u8 clear, const u8* data, u32 length) {
  return ParserStep(start, clear, data, length, 0);
}

u8 EPS_KelParser(u32 size, const u8* data) {
  // An empty key medium is flagged by the loader and holds nothing to parse.
  if (size == 0 || data == nullptr) {
    return 0;
  }
  if (size < EPS_kFileHeaderSize) {
    KelFault(EPS_kReasonLength, size);
    return 0;
  }
  const u16 usHeaderLen = EPS_Rd16(data);
  const u16 usVersion = EPS_Rd16(data + 2);
  const u32 ulFileLen = EPS_Rd32(data + 4);
  const u32 ulFirstLen = EPS_Rd32(data + 12);
  const u32 ulFirstCrcs = EPS_Rd32(data + 20);
  const u32 ulParOff = EPS_Rd32(data + 28);
  const u32 ulParLen = EPS_Rd32(data + 32);
  const u32 ulCrcOff = EPS_Rd32(data + 36);
  const u32 ulCrcCount = EPS_Rd32(data + 40);
  const u32 ulKind = EPS_Rd32(data + 44);
  if (usVersion != EPS_kKelVersion) {
    KelFault(EPS_kReasonVersion, usVersion + 0x2000000u);
    return 0;
  }
  const u64 ullNeeded = static_cast<u64>(usHeaderLen) + ulFirstLen + ulParLen + 4ull * ulFirstCrcs + 4ull * ulCrcCount;
  if (ulFileLen != size || ulFileLen < ullNeeded) {
    KelFault(EPS_kReasonLength, ulFileLen);
    return 0;
  }
  const u16 usStored = EPS_Rd16(data + 62);
  if (HNFiff_Crc16_755B_CalcSwp(0, 62, data) != usStored) {
    KelFault(EPS_kReasonHeaderCrc, usStored);
    return 0;
  }
  if (!CheckCrcLayout(EPS_kEvtKelPara, size, ulFileLen, ulParOff, ulParLen, ulCrcOff, ulCrcCount)) {
    return 0;
  }
  if (ulKind != EPS_kKelAreaKind) {
    KelFault(EPS_kReasonKind, ulKind);
    return 0;
  }
  if (!CheckBlocksReported(EPS_kEvtKelPara, data, ulParOff, ulParLen, ulCrcOff)) {
    return 0;
  }
  ParseAll(1, data + ulParOff, ulParLen, 0);
  return 1;
}

u8 EPS_CorvaneParser(u32 size, const u8* data) {
  if (size == 0 || data == nullptr) {
    return 0;
  }
  if (size < EPS_kFileHeaderSize) {
    CorvaneFault(EPS_kReasonLength, size);
    return 0;
  }
  const u16 usHeaderLen = EPS_Rd16(data);
  const u16 usVersion = EPS_Rd16(data + 2);
  const u32 ulFileLen = EPS_Rd32(data + 4);
  const u32 ulDataOff = EPS_Rd32(data + 8);
  const u32 ulDataLen = EPS_Rd32(data + 12);
  const u32 ulCrcOff = EPS_Rd32(data + 16);
  const u32 ulCrcCount = EPS_Rd32(data + 20);
  if (usVersion == 0 || usVersion > k_CORVANE_V2) {
    CorvaneFault(EPS_kReasonVersion, usVersion + 0x20000u);
    return 0;
  }
  if (ulFileLen != size ||
      static_cast<u64>(usHeaderLen) + 4ull * ulCrcCount + static_cast<u64>(ulDataLen) != ulFileLen) {
    CorvaneFault(EPS_kReasonLength, ulFileLen);
    return 0;
  }
  const u16 usStored = EPS_Rd16(data + 62);
  const u16 usCrc = usVersion == k_CORVANE_V1 ? HNFiff_Crc16CalcSwp(0, 62, data) : HNFiff_Crc16_755B_CalcSwp(0, 62, data);
  if (usCrc != usStored) {
    CorvaneFault(EPS_kReasonHeaderCrc, usStored);
    return 0;
  }
  if (!CheckCrcLayout(EPS_kEvtCorvane, size, ulFileLen, ulDataOff, ulDataLen, ulCrcOff, ulCrcCount)) {
    return 0;
  }
  if (ulDataLen % EPS_kUdidRecordSize != 0) {
    CorvaneFault(EPS_kReasonLayout, ulDataLen);
    return 0;
  }
  if (!CheckBlocksReported(EPS_kEvtCorvane, data, ulDataOff, ulDataLen, ulCrcOff)) {
    return 0;
  }
  if (usVersion == k_CORVANE_V1) {
    CorvaneFault(EPS_kReasonOldVersion, k_CORVANE_V1_INFO);
    EPS_StartStoreSadrUdid();
  }
  ParseAll(0, data + ulDataOff, ulDataLen, 1);
  return 1;
}

u8 EPS_AddParParser(const HNFstp_File* file) {
  if (file == nullptr || file->pucData == nullptr || file->ulSize == 0) {
    return 0;
  }
  u32 ulLoaded = 0;
  const bool ok = CheckParDataFile(file->ulSize, file->pucData) && LoadParDataEntries(file->pucData, &ulLoaded);
  if (!ok || EPS_Rd16(file->pucData) == 0) {
    EmptyParData();
    return 0;
  }
  return ulLoaded != 0 ? 1 : 0;
}
