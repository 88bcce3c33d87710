// Object tables of the configuration manager's tests: the objects the SCM,
// the SNMT master and the SSDO client bind, and the node list, additional
// SADR, UDID list and additional parameter ranges backed by plain arrays.
#pragma once
#include "SCM.h"
#include "SOD.h"

namespace MgrTest {

/// Largest parameter set a test node list entry holds.
constexpr u32 k_PARAM_MAX = 512;
/// Largest checksum a test node list entry holds.
constexpr u32 k_CHK_MAX = 64;
/// Largest additional parameter set.
constexpr u32 k_ADD_PARAM_MAX = 32;

/// One node list entry (0xC400 + i).
struct NodeEntry {
  bool present;           ///< false: the entry does not exist (its sub 1 cannot be resolved)
  u16 sadr;               ///< sub 1
  u32 vendor;             ///< sub 2
  u32 product;            ///< sub 3
  u32 revision;           ///< sub 4
  u8 status;              ///< sub 5, written by the SCM
  u16 sub6;               ///< sub 6
  u32 timestamp;          ///< sub 7
  u16 payload;            ///< sub 8
  u32 poll;               ///< sub 9
  u32 paramLen;           ///< sub 10
  bool paramLenPresent;   ///< false: sub 10 does not exist
  u8 param[k_PARAM_MAX];  ///< sub 11 bytes
  SOD_VarData paramVar;   ///< sub 11 record
  u32 flags;              ///< sub 12
  u32 sub13;              ///< sub 13
  u8 chk[k_CHK_MAX];      ///< sub 14 bytes
  SOD_VarData chkVar;     ///< sub 14 record
  u8 chkBuf[k_CHK_MAX];   ///< sub 15 bytes
  SOD_VarData chkBufVar;  ///< sub 15 record
  bool chkBufCallback;    ///< sub 15 carries an after-write callback (which the SCM refuses to bind)
};

/// Values behind the tables.
struct Values {
  u32 guardTime;           ///< 0x100C/1
  u8 lifeFactor;           ///< 0x100C/2
  u8 configMode;           ///< 0x101B/1
  u16 sdn;                 ///< 0x1200/1
  u16 scmSadr;             ///< 0x1200/2
  u32 refreshInterval;     ///< 0x100D/0 (own node)
  u8 refreshRetries;       ///< 0x100E/0 (own node)
  u32 ownTimestamp;        ///< 0x1018/7 (own node)
  u8 ownUdid[6];           ///< 0x1019/0 bytes (own node)
  SOD_VarData ownUdidVar;  ///< 0x1019/0 record
  u16 ownSadr;             ///< 0x1C00/1 (own node's main SADR)
  u8 scmUdid[6];           ///< 0x1200/4 bytes
  SOD_VarData scmUdidVar;  ///< 0x1200/4 record
  u32 ssdoTimeout;         ///< 0x1201/1
  u8 ssdoRetries;          ///< 0x1201/2
  u32 snmtTimeout;         ///< 0x1202/1
  u8 snmtRetries;          ///< 0x1202/2
  NodeEntry nodes[SCM_k_MAX_NODES];  ///< 0xC400.. one per node the release serves
  u16 addMain[1024];       ///< 0xC800+n sub 1 (index n)
  u16 addTx[1024];         ///< 0xC800+n sub 2
  bool addUnreadable;      ///< 0xC801.. sub 1 refuse their reads
  u8 udidCount;            ///< 0xCCxx sub 0
  u8 udid[1024][6];        ///< 0xCC00+SADR sub 1 bytes
  SOD_VarData udidVar[1024];  ///< their records
  u8 addParam[1024][16][k_ADD_PARAM_MAX];   ///< 0xE3FF+SADR sub 1..16 bytes
  SOD_VarData addParamVar[1024][16];        ///< their records
};
/// The values.
extern Values g_v;

/// Points the dictionary at the tables; call before SOD_Init.
void UseManagerTables();
/// After a test changed which node list objects exist or their attributes
/// (present, chkBufCallback): the older build's real table follows.
void ApplyNodeListChanges();
/// Fills plain defaults after SOD_Init: domain 1, SCM SADR 1, timing, no node.
void SetDefaults();
/// Sets up node list entry i as a node with this SADR and UDID (and matching identity values).
void SetNode(u16 i, u16 sadr, const u8* udid);

}  // namespace MgrTest
