// Object tables of the own-node tests.
#include "SlaveTables.h"

#include "RangeExpansion.h"
#include "SAPL.h"

namespace SlaveTest {
Values g_v;
Switches g_sw;

namespace {
constexpr u16 k_END = SOD_k_END_INDEX;  ///< index of the end record
constexpr u16 k_RW = 0x0C;     ///< readable and writable
constexpr u16 k_RO = 0x04;     ///< read-only
constexpr u16 k_CONST = 0x02;  ///< constant

const u32 k_guardDefault = 100;     ///< guard time
const u8 k_lifeDefault = 2;         ///< life time factor
const u32 k_refreshDefault = 50;    ///< refresh interval
const u8 k_retriesDefault = 3;      ///< refresh retry limit
const u8 k_ownUdid[6] = {0x11, 0x12, 0x13, 0x14, 0x15, 0x16};  ///< own UDID
const u16 k_sadrRange[2] = {0, 1023};   ///< range of the own SADR
const u16 k_sdnRange[2] = {0, 1023};    ///< range of the domain number
const u8 k_constDefault = 7;            ///< the constant's value
const u16 k_rangedRange[2] = {10, 100};  ///< range of the ranged u16
const u16 k_rangedDefault = 50;         ///< its default
const u16 k_roDefault = 0x1234;         ///< the read-only u16's value
const u32 k_vendor = 0x00000A0B;        ///< vendor id
const u32 k_product = 0x00000C0D;       ///< product code

bool DomainClbk(u8 service, SOD_Entry*, const void*, u32, u32, u32* abortCode) {
  const bool refuse = (service == SOD_k_SRV_BEFORE_READ && g_sw.refuseRead) ||
                      (service == SOD_k_SRV_BEFORE_WRITE && g_sw.refuseWrite) ||
                      (service == SOD_k_SRV_AFTER_WRITE && g_sw.refuseAfterWrite);
  if (service == SOD_k_SRV_AFTER_WRITE) {
    ++g_sw.afterWrites;
  }
  if (refuse) {
    *abortCode = g_sw.abortCode;
    return false;
  }
  return true;
}

void Fill(SOD_Entry* rec, u16 attr, u32 type, u32 length, void* data, const void* range) {
  rec->attr.usAttr = attr;
  rec->attr.ulDataType = type;
  rec->attr.ulLength = length;
  rec->attr.pvDefault = nullptr;
  rec->attr.pvData = data;
  rec->attr.pvRange = range;
}

bool TxSpdoClbk(u8 service, SOD_Entry* rec, const void*, u32, u32, u32* abortCode) {
  if (service == SOD_k_SRV_BEFORE_WRITE && g_sw.refuseSadrWrite) {
    *abortCode = g_sw.abortCode;
    return false;
  }
  if (service != TestOd::k_SRV_DESCRIBE) {
    return true;
  }
  switch (rec->ucSubIndex) {
    case 0: Fill(rec, 0x2004, SOD_k_UINT8, 1, &g_v.txSpdoCount, nullptr); return true;
    case 1: Fill(rec, 0x2000 | k_RW, SOD_k_UINT16, 2, &g_v.ownSadr, k_sadrRange); return true;
    case 2: Fill(rec, 0x2000 | k_RW, SOD_k_UINT16, 2, &g_v.txSpdo2, nullptr); return true;
    case 3: Fill(rec, 0x2000 | k_RW, SOD_k_UINT8, 1, &g_v.txSpdo3, nullptr); return true;
    default: *abortCode = 0x06090011; return false;
  }
}

bool RefusingRangeClbk(u8 service, SOD_Entry* rec, const void*, u32, u32, u32* abortCode) {
  switch (service) {
    case TestOd::k_SRV_DESCRIBE:
      Fill(rec, 0x2000 | k_RW, SOD_k_UINT32, 4, &g_v.virtU32, nullptr);
      return true;
    case SOD_k_SRV_BEFORE_READ:
    case SOD_k_SRV_BEFORE_WRITE:
      if ((service == SOD_k_SRV_BEFORE_READ && g_sw.refuseVirtRead) ||
          (service == SOD_k_SRV_BEFORE_WRITE && g_sw.refuseVirtWrite)) {
        *abortCode = g_sw.abortCode;
        return false;
      }
      return true;
    default: return true;
  }
}

Values& v = g_v;  ///< short name for the tables

// the objects both tables share
#define SLAVE_COMMON_HEAD                                                                           \
  {0x100C, 1, {k_RW, SOD_k_UINT32, 4, &k_guardDefault, &v.guardTime, nullptr, nullptr}},           \
  {0x100C, 2, {k_RW, SOD_k_UINT8, 1, &k_lifeDefault, &v.lifeFactor, nullptr, nullptr}},            \
  {0x100D, 0, {k_RW, SOD_k_UINT32, 4, &k_refreshDefault, &v.refreshInterval, nullptr, nullptr}},   \
  {0x100E, 0, {k_RW, SOD_k_UINT8, 1, &k_retriesDefault, &v.refreshRetries, nullptr, nullptr}},     \
  {0x1018, 1, {k_RO, SOD_k_UINT32, 4, &k_vendor, &v.vendorId, nullptr, nullptr}},                  \
  {0x1018, 2, {k_RO, SOD_k_UINT32, 4, &k_product, &v.productCode, nullptr, nullptr}},              \
  {0x1018, 7, {k_RW, SOD_k_UINT32, 4, nullptr, &v.timestamp, nullptr, nullptr}},                   \
  {0x1019, 0, {k_CONST, SOD_k_OSTRING, 6, k_ownUdid, &v.ownUdidVar, nullptr, nullptr}},            \
  {0x101A, 0, {k_RW, SOD_k_UINT32, 4, nullptr, &v.opWritable, nullptr, nullptr}},                  \
  {0x1200, 1, {k_RO, SOD_k_UINT16, 2, nullptr, &v.sdn, k_sdnRange, nullptr}},                      \
  {0x1200, 2, {k_RO, SOD_k_UINT16, 2, nullptr, &v.scmSadr, nullptr, nullptr}},                     \
  {0x1200, 4, {k_RW, SOD_k_OSTRING, 6, nullptr, &v.scmUdidVar, nullptr, nullptr}},                 \
  {0x2000, 1, {k_RW, SOD_k_OSTRING, 9, nullptr, &v.str9Var, nullptr, nullptr}},                    \
  {0x2000, 2, {k_RW, SOD_k_VSTRING, 27, nullptr, &v.str27Var, nullptr, nullptr}},                  \
  {0x2000, 3, {k_RW, SOD_k_UINT32, 4, nullptr, &v.rwU32, nullptr, nullptr}},                       \
  {0x2000, 4, {k_RO, SOD_k_UINT16, 2, &k_roDefault, &v.roU16, nullptr, nullptr}},                  \
  {0x2000, 5, {k_CONST, SOD_k_UINT8, 1, &k_constDefault, &v.constU8, nullptr, nullptr}},           \
  {0x2000, 6, {0x0700 | k_RW, SOD_k_DOMAIN, 16, nullptr, &v.domainVar, nullptr, DomainClbk}},      \
  {0x2000, 7, {k_RW, SOD_k_UINT64, 8, nullptr, &v.u64v, nullptr, nullptr}},                        \
  {0x2000, 8, {k_RW, SOD_k_OSTRING, 6, nullptr, &v.str6Var, nullptr, nullptr}},                    \
  {0x2000, 9, {0x08, SOD_k_UINT8, 1, nullptr, &v.noRead, nullptr, nullptr}},                       \
  {0x2000, 10, {k_RW, SOD_k_UINT16, 2, &k_rangedDefault, &v.ranged, k_rangedRange, nullptr}},      \
  {0x2800, 0, {k_RW, SOD_k_UINT32, 4, nullptr, &v.op2800, nullptr, nullptr}}

/// Main table, with the redirect objects.
const SOD_Entry k_main[] = {
    SLAVE_COMMON_HEAD,
    {0xE100, 0, {k_RW, SOD_k_UINT8, 1, nullptr, &v.redirectOn, nullptr, nullptr}},
    {0xE100, 1, {k_RW, SOD_k_UINT32, 4, nullptr, &v.redirectVendor, nullptr, nullptr}},
    {0xE100, 2, {k_RW, SOD_k_UINT32, 4, nullptr, &v.redirectProduct, nullptr, nullptr}},
    {k_END, 0, {}},
};

/// The same without 0xE100.
const SOD_Entry k_noRedirect[] = {
    SLAVE_COMMON_HEAD,
    {k_END, 0, {}},
};

/// The virtual ranges.
const SOD_VirtRange k_virt[] = {
    {0x2200, SOD_k_PLACEHOLDER, 0, nullptr, 0x1C00, 0x1C00, 0, 3, nullptr, nullptr, TxSpdoClbk},
    {0x2300, SOD_k_PLACEHOLDER, 0, nullptr, 0x3000, 0x3000, 1, 1, nullptr, nullptr, RefusingRangeClbk},
    {0, 0, 0, nullptr, k_END, k_END, 0, 0, nullptr, nullptr, nullptr},
};

const SOD_Entry* s_pReal = nullptr;       ///< the real table in use
std::vector<SOD_Entry> s_expanded;        ///< the older build's real table

void Reset(const SOD_Entry* real) {
  g_v = Values{};
  g_v.ownUdidVar = {6, g_v.ownUdid};
  g_v.scmUdidVar = {6, g_v.scmUdid};
  g_v.str9Var = {0, g_v.str9};
  g_v.str27Var = {0, g_v.str27};
  g_v.domainVar = {0, g_v.domain};
  g_v.str6Var = {0, g_v.str6};
  g_sw = Switches{};
  s_pReal = real;
  TestOd::InstallTables(real, k_virt, s_expanded, &SAPL_ps_OD, &SAPL_ps_SOD_VIRT);
}
}  // namespace

void UseMainTables() { Reset(k_main); }
void UseTablesWithoutRedirect() { Reset(k_noRedirect); }
void DropRanges() { TestOd::InstallTables(s_pReal, nullptr, s_expanded, &SAPL_ps_OD, &SAPL_ps_SOD_VIRT); }

}  // namespace SlaveTest
