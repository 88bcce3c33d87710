// The firmware's object list: the real objects of the stack's object
// dictionary, its virtual ranges (the current release) or their objects as
// real entries (the older release), the storage behind both and the callbacks
// that fill and react to them.
#pragma once
#include "SOD.h"
#include "ScmProfile.h"
#include "ScmTypes.h"

/// SCM nodes in the node list (objects 0xC400 to 0xC40B; the older release 0xC400 to 0xC464).
inline constexpr u32 EPS_kNodeCount = SCM_kProfileMaxNodes;
/// SADRs of a domain (1 to 1023).
inline constexpr u32 EPS_kSadrCount = 1023;
/// Additional parameter sets per SADR (sub-indices 1 to 16).
inline constexpr u32 EPS_kAddSetCount = 16;
/// Bytes of a UDID.
inline constexpr u32 EPS_kUdidBytes = 6;
/// Domain maximum of the virtual ranges while the stack initialises.
inline constexpr u32 EPS_kDomainMaxInit = 4;
/// Domain maximum of the virtual ranges once the own node is pre-operational.
inline constexpr u32 EPS_kDomainMax = 0x20000;
/// Maximum of the own parameter checksums (0x1018/6).
inline constexpr u32 EPS_kOwnChecksumMax = 272;
/// Bytes of each configuration flag array (0x2106/1-3, 0x2106/8).
inline constexpr u32 EPS_kConfigArrayBytes = 128;
/// The SCM's own SADR (0x1200/2).
inline constexpr u16 EPS_kScmSadr = 1023;

/// Sub-indices 1 to n of 0x1C00 (the own node's communication parameters).
inline constexpr u8 EPS_kTxSpdoSubs = 3;
/// Sub-indices 1 to n of an additional-SADR object.
inline constexpr u8 EPS_kAddSadrSubs = 2;
/// Sub-indices 1 to n of a SADR-to-UDID object.
inline constexpr u8 EPS_kUdidSubs = 1;
/// Slots of the sub-index-0 constants: 0x1C00, node list, additional SADRs, UDID list, additional parameters, 0x210B.
inline constexpr u32 EPS_kSubZeroCount = 6;
/// Range of SADRs and TxSPDO numbers.
inline constexpr u16 EPS_kRngSadr[2] = {0, 1023};
/// Range of 0x1C00/2.
inline constexpr u16 EPS_kRngTxSpdo2[2] = {1, 32767};
/// Range of a node status.
inline constexpr u8 EPS_kRngStatus[2] = {0, 129};
/// Range of a node's SSDO payload length.
inline constexpr u16 EPS_kRngSsdoLen[2] = {8, 254};

/// First object of the node list.
inline constexpr u16 EPS_kNodeListFirst = 0xC400;
/// Last object of the node list (its domains are copied, not pointed at).
inline constexpr u16 EPS_kNodeListLast = static_cast<u16>(EPS_kNodeListFirst + EPS_kNodeCount - 1);
/// First object of the additional SADRs.
inline constexpr u16 EPS_kAddSadrFirst = 0xC801;
/// Last object of the additional SADRs.
inline constexpr u16 EPS_kAddSadrLast = 0xCBFF;
/// Object of the SADR-to-UDID list for SADR 0 (index = this + SADR).
inline constexpr u16 EPS_kUdidBase = 0xCC00;
/// First object of the SADR-to-UDID list.
inline constexpr u16 EPS_kUdidFirst = 0xCC01;
/// Last object of the SADR-to-UDID list.
inline constexpr u16 EPS_kUdidLast = 0xCFFF;
/// Object of the additional parameter lists for SADR 0 (index = this + SADR).
inline constexpr u16 EPS_kAddParBase = 0xE3FF;
/// First object of the additional parameter lists.
inline constexpr u16 EPS_kAddParFirst = 0xE400;
/// Last object of the additional parameter lists (its domains are copied).
inline constexpr u16 EPS_kAddParLast = 0xE7FE;

/// Node-list sub-indices.
enum : u8 {
  EPS_kNodeSubSadr = 1,        ///< u16 main SADR
  EPS_kNodeSubVendor = 2,      ///< u32 vendor id
  EPS_kNodeSubProduct = 3,     ///< u32 product code
  EPS_kNodeSubRevision = 4,    ///< u32 revision number
  EPS_kNodeSubStatus = 5,      ///< u8 node status, written by the SCM
  EPS_kNodeSubReserved = 6,    ///< u16 kept as written, not interpreted by the firmware
  EPS_kNodeSubTimestamp = 7,   ///< u32 parameter timestamp
  EPS_kNodeSubSsdoLen = 8,     ///< u16 SSDO payload length
  EPS_kNodeSubPollTime = 9,    ///< u32 poll time
  EPS_kNodeSubParLen = 10,     ///< u32 length of the parameter set
  EPS_kNodeSubParSet = 11,     ///< domain: the parameter set
  EPS_kNodeSubFlags = 12,      ///< u32 flags
  EPS_kNodeSubNoStorage = 13,  ///< u32 that keeps no value: reads 0, writes are forgotten
  EPS_kNodeSubChecksum = 14,   ///< domain: expected parameter checksums
  EPS_kNodeSubCompare = 15,    ///< domain: checksums the SCM reads back to compare
  EPS_kNodeSubLast = 15        ///< last sub-index of a node object
};

/// Storage behind one node-list object.
struct EPS_NodeBlock {
  u16 usSadr;            ///< sub 1
  u32 ulVendorId;        ///< sub 2
  u32 ulProductCode;     ///< sub 3
  u32 ulRevision;        ///< sub 4
  u8 ucStatus;           ///< sub 5
  u16 usReserved;        ///< sub 6
  u32 ulTimestamp;       ///< sub 7
  u16 usSsdoLength;      ///< sub 8
  u32 ulPollTime;        ///< sub 9
  u32 ulParSetLength;    ///< sub 10
  SOD_VarData ParSet;    ///< sub 11
  u32 ulFlags;           ///< sub 12
  SOD_VarData Checksum;  ///< sub 14
  SOD_VarData Compare;   ///< sub 15
};

/// The node-list storage, block i behind object 0xC400 + i.
extern EPS_NodeBlock EPS_gaNodes[EPS_kNodeCount];
/// The SADR-to-UDID list, entry SADR - 1.
extern u8 EPS_gaucUdid[EPS_kSadrCount][EPS_kUdidBytes];
/// The additional SADRs, entry n - 1: {main SADR, TxSPDO number}.
extern u16 EPS_gausAddSadr[EPS_kSadrCount][2];
/// The additional parameter sets, [SADR - 1][set number].
extern SOD_VarData EPS_gaAddPar[EPS_kSadrCount][EPS_kAddSetCount];
/// The own parameter checksums (0x1018/6).
extern SOD_VarData EPS_gOwnChecksum;
/// The constant own UDID (0x1019/0).
extern SOD_VarData EPS_gOwnUdid;
/// The SCM UDID (0x1200/4).
extern SOD_VarData EPS_gScmUdid;
/// The own main SADR (0x1C00/1).
extern u16 EPS_gusOwnSadr;
/// 0x1C00/2.
extern u16 EPS_gusTxSpdo2;
/// 0x1C00/3.
extern u8 EPS_gucTxSpdo3;
/// Node sub 13, which keeps no value: cleared before every access.
extern u32 EPS_gulNodeNoStorage;
/// Value records of the SADR-to-UDID list (0xCC01-0xCFFF/1), entry SADR - 1.
extern SOD_VarData EPS_gaUdidVar[EPS_kSadrCount];
/// Values of the sub-index-0 constants, one per range (slots as EPS_kSubZeroCount names them).
extern u8 EPS_gaucSubZero[EPS_kSubZeroCount];
/// SSDO setting of the SCM (0x2107/1).
extern u8 EPS_gucScmSsdoSetting;
/// The CT multiplier's time base (0x1200/3).
extern i8 EPS_gcTimeBase;
/// Configuration mode (0x101B/1).
extern u8 EPS_gucConfigMode;

/// The real objects of the current release's list, closed by index 0xFFFF (the older release expands its ranges around them).
const SOD_Entry* EPS_OdBaseTable(void);
/// The older release: builds its table (the list with every range as real entries) once; the table.
const SOD_Entry* EPS_OdBuildExpandedTable(void);
/// The virtual ranges the release registers (the older release: none), closed by first index 0xFFFF.
const SOD_VirtRange* EPS_OdVirtualRanges(void);
/// Binds the real objects reached through a value record (0x1018/6, 0x1019, 0x1200/4).
void EPS_OdBindRealStorage(void);
/// Points every UDID entry at its 6 bytes, every pointed domain at the empty
/// dummy and every copied domain at its own storage; binds 0x1018/6 and 0x1019.
void EPS_OdBindStorage(void);
/// The current domain maximum of the virtual ranges.
u32 EPS_OdDomainMax(void);
/// Sets the domain maximum of the node and additional-parameter domains (4 while
/// initialising, 0x20000 after); the older release writes it into its real entries.
void EPS_OdSetDomainMax(u32 maximum);
/// The older release: sets the maximum length of every node and additional-parameter domain entry.
void EPS_OdResizeDomains(u32 maximum);
/// Bounds rule of a domain whose bytes may lie in a file space, for services 1 to 3:
/// a read or write must lie within the actual length; a whole write, which would copy
/// the maximum, only into a domain with storage of its own.
bool EPS_OdDomainAccess(u8 service, const SOD_Entry* record, const void* data, u32 offset, u32 size,
                        u32* abortCode);
/// Fills 0x1019 (the constant own UDID) from the SCM UDID.
void EPS_OdSetOwnUdid(const u8* scmUdid);
/// True for a domain that the parameter parser points into the file space.
bool EPS_OdIsPointedDomain(u16 index, u8 subIndex);
/// Address of the empty dummy behind the pointed domains until a file fills them.
const u8* EPS_OdDummy(void);

// ---- callbacks of the real table ----
/// After a write of 0x1200/3: sets the CT multiplier of the time base.
bool EPS_CallbackSetCtMultiplyer(u8 service, SOD_Entry* record, const void* data, u32 offset, u32 size,
                                 u32* abortCode);
/// After a write of 0x2100/n: mirrors the value into bit n - 1 of the machine-option word.
bool EPS_MachineOption(u8 service, SOD_Entry* record, const void* data, u32 offset, u32 size, u32* abortCode);
/// Before a read of 0x1004/n: takes the stack's common event counter n - 1.
bool EPS_CommonCounterRead(u8 service, SOD_Entry* record, const void* data, u32 offset, u32 size,
                           u32* abortCode);

#if !SCM_PROFILE_LEGACY
// ---- callbacks of the virtual ranges (the older release has none) ----
/// 0x1C00/0-3: the own node's communication parameters.
bool SOD_TxSpdoComm(u8 service, SOD_Entry* record, const void* data, u32 offset, u32 size, u32* abortCode);
/// 0xC400-0xC40B/0-15: the node list.
bool SOD_SadrDviPar(u8 service, SOD_Entry* record, const void* data, u32 offset, u32 size, u32* abortCode);
/// 0xC801-0xCBFF/0-2: the additional SADRs.
bool SOD_AddSadr(u8 service, SOD_Entry* record, const void* data, u32 offset, u32 size, u32* abortCode);
/// 0xCC01-0xCFFF/0-1: the SADR-to-UDID list.
bool SOD_SadrUdid(u8 service, SOD_Entry* record, const void* data, u32 offset, u32 size, u32* abortCode);
/// 0xE400-0xE7FE/0-16: the additional parameter lists.
bool SOD_AddParaList(u8 service, SOD_Entry* record, const void* data, u32 offset, u32 size, u32* abortCode);
/// 0x210B/0-3: the application's commissioning settings.
bool SOD_MFWQZ_AutoCommissioningSettings(u8 service, SOD_Entry* record, const void* data, u32 offset, u32 size,
                                         u32* abortCode);
#endif
