// Object tables of the configuration manager's tests.
#include "ManagerTables.h"

#include <cstring>

#include "RangeExpansion.h"
#include "SAPL.h"

const SOD_Entry* SAPL_ps_OD = nullptr;
const SOD_VirtRange* SAPL_ps_SOD_VIRT = nullptr;

namespace MgrTest {
Values g_v;

namespace {
constexpr u16 k_END = SOD_k_END_INDEX;
constexpr u16 k_ATTR_CONST = 0x2002;   ///< virtual, constant
constexpr u16 k_ATTR_RW = 0x200C;      ///< virtual, readable, writable
const u8 k_nodeSubs = 15;              ///< sub 0 of a node list entry
const u8 k_addSubs = 2;                ///< sub 0 of an additional SADR
const u8 k_addParamSubs = 16;          ///< sub 0 of an additional parameter list
u8 s_nodeSubs = 15;                    ///< value of sub 0 of a node list entry
u8 s_addSubs = 2;                      ///< value of sub 0 of an additional SADR
u8 s_addParamSubs = 16;                ///< value of sub 0 of an additional parameter list

void Fill(SOD_Entry* rec, u16 attr, u32 type, u32 length, const void* def, void* data) {
  rec->attr.usAttr = attr;
  rec->attr.ulDataType = type;
  rec->attr.ulLength = length;
  rec->attr.pvDefault = def;
  rec->attr.pvData = data;
  rec->attr.pvRange = nullptr;
}

bool Refuse(u32* abortCode, u32 code) {
  *abortCode = code;
  return false;
}

bool NodeClbk(u8 service, SOD_Entry* rec, const void*, u32, u32, u32* abortCode) {
  NodeEntry& n = g_v.nodes[rec->usIndex - 0xC400];
  if (service != TestOd::k_SRV_DESCRIBE) {
    return true;
  }
  if (!n.present) {
    return Refuse(abortCode, 0x06020000);
  }
  switch (rec->ucSubIndex) {
    case 0: Fill(rec, k_ATTR_CONST, SOD_k_UINT8, 1, &k_nodeSubs, &s_nodeSubs); return true;
    case 1: Fill(rec, k_ATTR_RW, SOD_k_UINT16, 2, nullptr, &n.sadr); return true;
    case 2: Fill(rec, k_ATTR_RW, SOD_k_UINT32, 4, nullptr, &n.vendor); return true;
    case 3: Fill(rec, k_ATTR_RW, SOD_k_UINT32, 4, nullptr, &n.product); return true;
    case 4: Fill(rec, k_ATTR_RW, SOD_k_UINT32, 4, nullptr, &n.revision); return true;
    case 5: Fill(rec, k_ATTR_RW, SOD_k_UINT8, 1, nullptr, &n.status); return true;
    case 6: Fill(rec, k_ATTR_RW, SOD_k_UINT16, 2, nullptr, &n.sub6); return true;
    case 7: Fill(rec, k_ATTR_RW, SOD_k_UINT32, 4, nullptr, &n.timestamp); return true;
    case 8: Fill(rec, k_ATTR_RW, SOD_k_UINT16, 2, nullptr, &n.payload); return true;
    case 9: Fill(rec, k_ATTR_RW, SOD_k_UINT32, 4, nullptr, &n.poll); return true;
    case 10:
      if (!n.paramLenPresent) {
        return Refuse(abortCode, 0x06090011);
      }
      Fill(rec, k_ATTR_RW, SOD_k_UINT32, 4, nullptr, &n.paramLen);
      return true;
    case 11: Fill(rec, k_ATTR_RW, SOD_k_DOMAIN, k_PARAM_MAX, nullptr, &n.paramVar); return true;
    case 12: Fill(rec, k_ATTR_RW, SOD_k_UINT32, 4, nullptr, &n.flags); return true;
    case 13: Fill(rec, k_ATTR_RW, SOD_k_UINT32, 4, nullptr, &n.sub13); return true;
    case 14: Fill(rec, k_ATTR_RW, SOD_k_DOMAIN, k_CHK_MAX, nullptr, &n.chkVar); return true;
    case 15:
      Fill(rec, n.chkBufCallback ? k_ATTR_RW | SOD_k_ATTR_AFT_WR : k_ATTR_RW, SOD_k_DOMAIN, k_CHK_MAX, nullptr,
           &n.chkBufVar);
      return true;
    default: return Refuse(abortCode, 0x06090011);
  }
}

bool AddSadrClbk(u8 service, SOD_Entry* rec, const void*, u32, u32, u32* abortCode) {
  const u16 n = static_cast<u16>(rec->usIndex - 0xC800);
  if (service == SOD_k_SRV_BEFORE_READ && rec->ucSubIndex == 1 && g_v.addUnreadable) {
    return Refuse(abortCode, 0x08000020);
  }
  if (service != TestOd::k_SRV_DESCRIBE) {
    return true;
  }
  switch (rec->ucSubIndex) {
    case 0: Fill(rec, k_ATTR_CONST, SOD_k_UINT8, 1, &k_addSubs, &s_addSubs); return true;
    case 1: Fill(rec, k_ATTR_RW, SOD_k_UINT16, 2, nullptr, &g_v.addMain[n]); return true;
    case 2: Fill(rec, k_ATTR_RW, SOD_k_UINT16, 2, nullptr, &g_v.addTx[n]); return true;
    default: return Refuse(abortCode, 0x06090011);
  }
}

bool UdidClbk(u8 service, SOD_Entry* rec, const void*, u32, u32, u32* abortCode) {
  const u16 sadr = static_cast<u16>(rec->usIndex - 0xCC00);
  if (service != TestOd::k_SRV_DESCRIBE) {
    return true;
  }
  switch (rec->ucSubIndex) {
    case 0: Fill(rec, k_ATTR_CONST, SOD_k_UINT8, 1, &g_v.udidCount, &g_v.udidCount); return true;
    case 1: Fill(rec, k_ATTR_RW, SOD_k_OSTRING, 6, nullptr, &g_v.udidVar[sadr]); return true;
    default: return Refuse(abortCode, 0x06090011);
  }
}

bool AddParamClbk(u8 service, SOD_Entry* rec, const void*, u32, u32, u32* abortCode) {
  const u16 sadr = static_cast<u16>(rec->usIndex - 0xE3FF);
  if (service != TestOd::k_SRV_DESCRIBE) {
    return true;
  }
  if (rec->ucSubIndex == 0) {
    Fill(rec, k_ATTR_CONST, SOD_k_UINT8, 1, &k_addParamSubs, &s_addParamSubs);
    return true;
  }
  if (rec->ucSubIndex > 16) {
    return Refuse(abortCode, 0x06090011);
  }
  Fill(rec, k_ATTR_RW, SOD_k_DOMAIN, k_ADD_PARAM_MAX, nullptr, &g_v.addParamVar[sadr][rec->ucSubIndex - 1]);
  return true;
}

Values& v = g_v;
const SOD_Entry k_table[] = {
    {0x100C, 1, {0x0C, SOD_k_UINT32, 4, nullptr, &v.guardTime, nullptr, nullptr}},
    {0x100C, 2, {0x0C, SOD_k_UINT8, 1, nullptr, &v.lifeFactor, nullptr, nullptr}},
    {0x100D, 0, {0x0C, SOD_k_UINT32, 4, nullptr, &v.refreshInterval, nullptr, nullptr}},
    {0x100E, 0, {0x0C, SOD_k_UINT8, 1, nullptr, &v.refreshRetries, nullptr, nullptr}},
    {0x1018, 7, {0x04, SOD_k_UINT32, 4, nullptr, &v.ownTimestamp, nullptr, nullptr}},
    {0x1019, 0, {0x04, SOD_k_OSTRING, 6, nullptr, &v.ownUdidVar, nullptr, nullptr}},
    {0x101B, 1, {0x0C, SOD_k_UINT8, 1, nullptr, &v.configMode, nullptr, nullptr}},
    {0x1200, 1, {0x04, SOD_k_UINT16, 2, nullptr, &v.sdn, nullptr, nullptr}},
    {0x1200, 2, {0x04, SOD_k_UINT16, 2, nullptr, &v.scmSadr, nullptr, nullptr}},
    {0x1200, 4, {0x0C, SOD_k_OSTRING, 6, nullptr, &v.scmUdidVar, nullptr, nullptr}},
    {0x1201, 1, {0x0C, SOD_k_UINT32, 4, nullptr, &v.ssdoTimeout, nullptr, nullptr}},
    {0x1201, 2, {0x0C, SOD_k_UINT8, 1, nullptr, &v.ssdoRetries, nullptr, nullptr}},
    {0x1202, 1, {0x0C, SOD_k_UINT32, 4, nullptr, &v.snmtTimeout, nullptr, nullptr}},
    {0x1202, 2, {0x0C, SOD_k_UINT8, 1, nullptr, &v.snmtRetries, nullptr, nullptr}},
    {0x1C00, 1, {0x0C, SOD_k_UINT16, 2, nullptr, &v.ownSadr, nullptr, nullptr}},
    {k_END, 0, {}},
};

const SOD_VirtRange k_virt[] = {
    {0x2000, SOD_k_PLACEHOLDER, 0, nullptr, 0xC400, static_cast<u16>(0xC400 + SCM_k_MAX_NODES - 1), 0, 15, nullptr,
     nullptr, NodeClbk},
    {0x2100, SOD_k_PLACEHOLDER, 0, nullptr, 0xC801, 0xCBFF, 0, 2, nullptr, nullptr, AddSadrClbk},
    {0x2000, SOD_k_PLACEHOLDER, 0, nullptr, 0xCC01, 0xCFFF, 0, 1, nullptr, nullptr, UdidClbk},
    {0x2000, SOD_k_PLACEHOLDER, 0, nullptr, 0xE400, 0xE7FE, 0, 16, nullptr, nullptr, AddParamClbk},
    {0, 0, 0, nullptr, k_END, 0, 0, 0, nullptr, nullptr, nullptr},
};

std::vector<SOD_Entry> s_expanded;  ///< the older build's real table
}  // namespace

void UseManagerTables() {
  g_v = Values{};
  SetDefaults();
  TestOd::InstallTables(k_table, k_virt, s_expanded, &SAPL_ps_OD, &SAPL_ps_SOD_VIRT);
}

void ApplyNodeListChanges() {
  if constexpr (SCM_kLegacy) {
    // The older build's table holds the objects the node list had when it was
    // made: make it again, and let the object dictionary take its new bounds.
    TestOd::InstallTables(k_table, k_virt, s_expanded, &SAPL_ps_OD, &SAPL_ps_SOD_VIRT);
    (void)SOD_InitAddr();
  }
}

void SetDefaults() {
  g_v.guardTime = 1000;
  g_v.lifeFactor = 3;
  g_v.configMode = 0;
  g_v.sdn = 1;
  g_v.scmSadr = 1;
  const u8 scm[6] = {0x02, 0x5C, 0x3E, 0x00, 0x00, 0x02};
  std::memcpy(g_v.scmUdid, scm, 6);
  g_v.scmUdidVar = {6, g_v.scmUdid};
  g_v.ownUdidVar = {6, g_v.ownUdid};
  g_v.refreshInterval = 100000;
  g_v.refreshRetries = 0;
  g_v.ssdoTimeout = 100;
  g_v.ssdoRetries = 2;
  g_v.snmtTimeout = 100;
  g_v.snmtRetries = 2;
  g_v.udidCount = 1;
  for (u16 i = 0; i < 1024; ++i) {
    g_v.udidVar[i] = {6, g_v.udid[i]};
    for (u8 k = 0; k < 16; ++k) {
      g_v.addParamVar[i][k] = {0, g_v.addParam[i][k]};
    }
  }
  for (NodeEntry& n : g_v.nodes) {
    n = NodeEntry{};
    n.present = true;
    n.paramLenPresent = true;
    n.paramVar = {0, n.param};
    n.chkVar = {0, n.chk};
    n.chkBufVar = {k_CHK_MAX, n.chkBuf};
  }
  g_v.addUnreadable = false;
}

void SetNode(u16 i, u16 sadr, const u8* udid) {
  NodeEntry& n = g_v.nodes[i];
  n.sadr = sadr;
  n.vendor = 0x00AA0000u + sadr;
  n.product = 0x00BB0000u + sadr;
  n.revision = 0x00010000u + sadr;
  n.timestamp = 0x12340000u + sadr;
  n.payload = 12;
  n.poll = 500;
  std::memcpy(g_v.udid[sadr], udid, 6);
}

}  // namespace MgrTest
