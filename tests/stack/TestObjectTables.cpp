// The main test object tables, their refusing callbacks and the faulty tables.
#include "TestObjectTables.h"

#include "RangeExpansion.h"
#include "SAPL.h"

const SOD_Entry* SAPL_ps_OD = nullptr;
const SOD_VirtRange* SAPL_ps_SOD_VIRT = nullptr;

namespace StackTest {
MainValues g_values;
CallbackSwitches g_switches;
std::vector<CallbackCall> g_callbackCalls;

namespace {
constexpr u16 k_END = SOD_k_END_INDEX;

void Record(u8 service, const SOD_Entry* rec, const void* data, u32 offset, u32 size) {
  g_callbackCalls.push_back({service, rec->usIndex, rec->ucSubIndex, offset, size, data != nullptr});
}

bool Refuse(u32* abortCode) {
  *abortCode = g_switches.abortCode;
  return false;
}

// ---- ranges and defaults ----
const u32 k_guardRange[2] = {60000, 600000};
const u32 k_guardDefault = 100000;
const u8 k_lifeRange[2] = {1, 255};
const u8 k_lifeDefault = 2;
const u32 k_refreshDefault = 100000;
const u8 k_retriesDefault = 5;
const u16 k_sadrRange[2] = {0, 1023};
const u32 k_ssdoTimeoutRange[2] = {1, 65535};
const u32 k_snmtTimeoutRange[2] = {1, 0xFFFFFFFF};
const u32 k_timeoutDefault = 20000;
const i16 k_s16Range[2] = {-100, 100};
const u32 k_u32Range[2] = {10, 1000};
const u32 k_u32Default = 10;
const float k_f32Range[2] = {-1.5F, 2.5F};
const u8 k_constDefault = 7;
const u16 k_readOnlyDefault = 0x1234;
const i64 k_s64Range[2] = {-5, 5};
const double k_f64Range[2] = {0.0, 10.0};
const u8 k_count3 = 3;
const u8 k_count2 = 2;
const u16 k_txSpdoRange[2] = {1, 32767};

// ---- callbacks ----
bool DomainClbk(u8 service, SOD_Entry* rec, const void* data, u32 offset, u32 size, u32* abortCode) {
  Record(service, rec, data, offset, size);
  if ((service == SOD_k_SRV_BEFORE_READ && g_switches.refuseRead) ||
      (service == SOD_k_SRV_BEFORE_WRITE && g_switches.refuseWrite) ||
      (service == SOD_k_SRV_AFTER_WRITE && g_switches.refuseAfterWrite)) {
    return Refuse(abortCode);
  }
  return true;
}

void Fill(SOD_Entry* rec, u16 attr, u32 type, u32 length, const void* def, void* data, const void* range) {
  rec->attr.usAttr = attr;
  rec->attr.ulDataType = type;
  rec->attr.ulLength = length;
  rec->attr.pvDefault = def;
  rec->attr.pvData = data;
  rec->attr.pvRange = range;
}

bool TxSpdoClbk(u8 service, SOD_Entry* rec, const void* data, u32 offset, u32 size, u32* abortCode) {
  Record(service, rec, data, offset, size);
  if (service != TestOd::k_SRV_DESCRIBE) {
    return true;
  }
  switch (rec->ucSubIndex) {
    case 0: Fill(rec, 0x2002, SOD_k_UINT8, 1, &k_count3, &g_values.txSpdoCount, nullptr); return true;
    case 1: Fill(rec, 0x200C, SOD_k_UINT16, 2, nullptr, &g_values.ownSadr, k_sadrRange); return true;
    case 2: Fill(rec, 0x200C, SOD_k_UINT16, 2, nullptr, &g_values.txSpdo2, k_txSpdoRange); return true;
    case 3: Fill(rec, 0x200C, SOD_k_UINT8, 1, nullptr, &g_values.txSpdo3, nullptr); return true;
    default: *abortCode = 0x06090011; return false;
  }
}

bool TestRangeClbk(u8 service, SOD_Entry* rec, const void* data, u32 offset, u32 size, u32* abortCode) {
  Record(service, rec, data, offset, size);
  const u32 i = rec->usIndex - 0x3000u;
  switch (service) {
    case TestOd::k_SRV_DESCRIBE:
      if (g_switches.refuseAttrGet) {
        return Refuse(abortCode);
      }
      if (rec->ucSubIndex == 0) {
        Fill(rec, 0x2002, SOD_k_UINT8, 1, &k_count2, &g_values.virtCount, nullptr);
      } else if (rec->ucSubIndex == 1) {
        Fill(rec, 0x200C, SOD_k_UINT32, 4, nullptr, &g_values.virtU32[i], nullptr);
      } else {
        Fill(rec, 0x240C, SOD_k_VSTRING, 8, nullptr, &g_values.virtStringVar[i], nullptr);
      }
      return true;
    case SOD_k_SRV_BEFORE_READ: return g_switches.refuseVirtRead ? Refuse(abortCode) : true;
    case SOD_k_SRV_BEFORE_WRITE: return g_switches.refuseVirtWrite ? Refuse(abortCode) : true;
    default: return true;
  }
}

// ---- the main tables ----
MainValues& v = g_values;
const SOD_Entry k_mainTable[] = {
    {0x100C, 1, {0x1C, SOD_k_UINT32, 4, &k_guardDefault, &v.guardTime, k_guardRange, nullptr}},
    {0x100C, 2, {0x1C, SOD_k_UINT8, 1, &k_lifeDefault, &v.lifeTimeFactor, k_lifeRange, nullptr}},
    {0x100D, 0, {0x0C, SOD_k_UINT32, 4, &k_refreshDefault, &v.refreshInterval, nullptr, nullptr}},
    {0x100E, 0, {0x0C, SOD_k_UINT8, 1, &k_retriesDefault, &v.refreshRetries, nullptr, nullptr}},
    {0x1018, 7, {0x04, SOD_k_UINT32, 4, nullptr, &v.paramTimestamp, nullptr, nullptr}},
    {0x1019, 0, {0x02, SOD_k_OSTRING, 6, nullptr, &v.ownUdidVar, nullptr, nullptr}},
    {0x1200, 1, {0x04, SOD_k_UINT16, 2, nullptr, &v.sdn, k_sadrRange, nullptr}},
    {0x1200, 2, {0x04, SOD_k_UINT16, 2, nullptr, &v.scmSadr, k_sadrRange, nullptr}},
    {0x1200, 4, {0x0C, SOD_k_OSTRING, 6, nullptr, &v.scmUdidVar, nullptr, nullptr}},
    {0x1201, 1, {0x1C, SOD_k_UINT32, 4, &k_timeoutDefault, &v.ssdoTimeout, k_ssdoTimeoutRange, nullptr}},
    {0x1201, 2, {0x1C, SOD_k_UINT8, 1, &k_retriesDefault, &v.ssdoRetries, nullptr, nullptr}},
    {0x1202, 1, {0x1C, SOD_k_UINT32, 4, &k_timeoutDefault, &v.snmtTimeout, k_snmtTimeoutRange, nullptr}},
    {0x1202, 2, {0x1C, SOD_k_UINT8, 1, &k_retriesDefault, &v.snmtRetries, nullptr, nullptr}},
    {0x2000, 1, {0x0C, SOD_k_INT16, 2, nullptr, &v.s16, k_s16Range, nullptr}},
    {0x2000, 2, {0x0C, SOD_k_UINT32, 4, &k_u32Default, &v.u32v, k_u32Range, nullptr}},
    {0x2000, 3, {0x0C, SOD_k_REAL32, 4, nullptr, &v.f32, k_f32Range, nullptr}},
    {0x2000, 4, {0x0C, SOD_k_BOOLEAN, 1, nullptr, &v.boolean, nullptr, nullptr}},
    {0x2000, 5, {0x02, SOD_k_UINT8, 1, &k_constDefault, &v.constant, nullptr, nullptr}},
    {0x2000, 6, {0x04, SOD_k_UINT16, 2, &k_readOnlyDefault, &v.readOnly, nullptr, nullptr}},
    {0x2000, 7, {0x0C, SOD_k_VSTRING, 8, nullptr, &v.vstringVar, nullptr, nullptr}},
    {0x2000, 8, {0x070C, SOD_k_DOMAIN, 16, nullptr, &v.domainVar, nullptr, DomainClbk}},
    {0x2000, 9, {0x080C, SOD_k_UINT32, 4, nullptr, &v.pointedPtr, nullptr, nullptr}},
    {0x2000, 10, {0x0C, SOD_k_INT64, 8, nullptr, &v.s64, k_s64Range, nullptr}},
    {0x2000, 11, {0x0C, SOD_k_REAL64, 8, nullptr, &v.f64, k_f64Range, nullptr}},
    {k_END, 0, {}},
};

const SOD_VirtRange k_mainVirt[] = {
    {0x2000, SOD_k_PLACEHOLDER, 0, nullptr, 0x1C00, 0x1C00, 0, 3, nullptr, nullptr, TxSpdoClbk},
    {0x2300, SOD_k_PLACEHOLDER, 0, nullptr, 0x3000, 0x3001, 0, 2, nullptr, nullptr, TestRangeClbk},
    {0x400C, SOD_k_UINT16, 2, nullptr, 0x3100, 0x3100, 0, 3, &v.arrayData, nullptr, nullptr},
    {0, 0, 0, nullptr, k_END, 0, 0, 0, nullptr, nullptr, nullptr},
};

// ---- faulty tables ----
u8 s_scratch[16];                               ///< value of the faulty entries
SOD_VarData s_nullBytes = {0, nullptr};         ///< a string record without bytes
u8* s_nullPtr = nullptr;                        ///< a stored null pointer (attribute 0x0800)
const u16 k_badRange[2] = {10, 5};
const u8 k_boolRange[2] = {0, 1};
const u8 k_smallRange[2] = {1, 5};
const u8 k_tooBig = 9;

#define GOOD_U8(idx, sub) {idx, sub, {0x04, SOD_k_UINT8, 1, nullptr, s_scratch, nullptr, nullptr}}
#define END_ROW {k_END, 0, {}}

const SOD_Entry k_firstIsEnd[] = {END_ROW};
const SOD_Entry k_dupReal[] = {{0x3000, 1, {0x04, SOD_k_UINT32, 4, nullptr, s_scratch, nullptr, nullptr}}, END_ROW};
const SOD_Entry k_F73C[] = {GOOD_U8(0x1000, 0), {0x1001, 0, {0x04, SOD_k_UINT8, 2, nullptr, s_scratch, nullptr, nullptr}}, END_ROW};
const SOD_Entry k_F73D[] = {{0x1001, 3, {0x04, SOD_k_INT16, 1, nullptr, s_scratch, nullptr, nullptr}}, END_ROW};
const SOD_Entry k_F73E[] = {{0x1001, 0, {0x04, SOD_k_REAL32, 8, nullptr, s_scratch, nullptr, nullptr}}, END_ROW};
const SOD_Entry k_F73F[] = {{0x1001, 0, {0x04, SOD_k_UINT64, 4, nullptr, s_scratch, nullptr, nullptr}}, END_ROW};
const SOD_Entry k_F740[] = {{0x1001, 0, {0x04, SOD_k_DOMAIN, 0, nullptr, &s_nullBytes, nullptr, nullptr}}, END_ROW};
const SOD_Entry k_F741[] = {{0x1001, 0, {0x04, 15, 1, nullptr, s_scratch, nullptr, nullptr}}, END_ROW};
const SOD_Entry k_F73B[] = {{0x1001, 0, {0x04, SOD_k_UINT16, 2, nullptr, s_scratch, k_badRange, nullptr}}, END_ROW};
const SOD_Entry k_F730[] = {{0x1001, 0, {0x04, SOD_k_BOOLEAN, 1, nullptr, s_scratch, k_boolRange, nullptr}}, END_ROW};
const SOD_Entry k_F735a[] = {{0x1001, 0, {0x0000, SOD_k_UINT8, 1, nullptr, s_scratch, nullptr, nullptr}}, END_ROW};
const SOD_Entry k_F735b[] = {{0x1001, 0, {0x0024, SOD_k_UINT8, 1, nullptr, s_scratch, nullptr, nullptr}}, END_ROW};
const SOD_Entry k_F735c[] = {{0x1001, 0, {0x4004, SOD_k_UINT8, 1, nullptr, s_scratch, nullptr, nullptr}}, END_ROW};
const SOD_Entry k_F735d[] = {{0x1001, 0, {0x2004, SOD_k_UINT8, 1, nullptr, s_scratch, nullptr, nullptr}}, END_ROW};
const SOD_Entry k_F736[] = {{0x1001, 0, {0x0010, SOD_k_UINT8, 1, nullptr, s_scratch, nullptr, nullptr}}, END_ROW};
const SOD_Entry k_F737[] = {{0x1001, 0, {0x0006, SOD_k_UINT8, 1, nullptr, s_scratch, nullptr, nullptr}}, END_ROW};
const SOD_Entry k_F738[] = {{0x1001, 0, {0x0009, SOD_k_UINT8, 1, nullptr, s_scratch, nullptr, nullptr}}, END_ROW};
const SOD_Entry k_F739[] = {{0x1001, 0, {0x0104, SOD_k_UINT8, 1, nullptr, s_scratch, nullptr, nullptr}}, END_ROW};
const SOD_Entry k_F73A[] = {{0x1001, 0, {0x0004, SOD_k_UINT8, 1, nullptr, s_scratch, nullptr, DomainClbk}}, END_ROW};
const SOD_Entry k_F731[] = {{0x1001, 0, {0x0004, SOD_k_UINT8, 1, nullptr, nullptr, nullptr, nullptr}}, END_ROW};
const SOD_Entry k_F732a[] = {{0x1001, 0, {0x0004, SOD_k_OSTRING, 6, nullptr, &s_nullBytes, nullptr, nullptr}}, END_ROW};
const SOD_Entry k_F732b[] = {{0x1001, 0, {0x0804, SOD_k_UINT8, 1, nullptr, &s_nullPtr, nullptr, nullptr}}, END_ROW};
const SOD_Entry k_F733[] = {GOOD_U8(0x1001, 0), GOOD_U8(0x1000, 0), END_ROW};
const SOD_Entry k_F734[] = {GOOD_U8(0x1000, 1), GOOD_U8(0x1000, 1), END_ROW};
const SOD_Entry k_badDefault[] = {{0x1001, 0, {0x0C, SOD_k_UINT8, 1, &k_tooBig, s_scratch, k_smallRange, nullptr}}, END_ROW};
const SOD_Entry k_oneGood[] = {GOOD_U8(0x1000, 0), END_ROW};

bool BadVirtClbk(u8 service, SOD_Entry* rec, const void*, u32, u32, u32*) {
  if (service == TestOd::k_SRV_DESCRIBE) {
    Fill(rec, 0x2004, SOD_k_UINT16, 4, nullptr, s_scratch, nullptr);
  }
  return true;
}
const SOD_VirtRange k_badVirt[] = {
    {0x2000, SOD_k_PLACEHOLDER, 0, nullptr, 0x5000, 0x5000, 1, 1, nullptr, nullptr, BadVirtClbk},
    {0, 0, 0, nullptr, k_END, 0, 0, 0, nullptr, nullptr, nullptr},
};
const SOD_VirtRange k_testRangeOnly[] = {
    {0x2000, SOD_k_PLACEHOLDER, 0, nullptr, 0x3000, 0x3001, 0, 2, nullptr, nullptr, TestRangeClbk},
    {0, 0, 0, nullptr, k_END, 0, 0, 0, nullptr, nullptr, nullptr},
};

constexpr u32 Info(u16 index, u8 sub) { return (static_cast<u32>(index) << 16) | sub; }

void ResetValues() {
  g_values = MainValues{};
  g_values.scmUdidVar = {6, g_values.scmUdid};
  g_values.ownUdidVar = {6, g_values.ownUdid};
  g_values.vstringVar = {0, g_values.vstring};
  g_values.domainVar = {0, g_values.domain};
  g_values.pointedPtr = &g_values.pointed;
  for (u32 i = 0; i < 2; ++i) {
    g_values.virtStringVar[i] = {0, g_values.virtString[i]};
  }
}
}  // namespace

void UseTables(const SOD_Entry* real, const SOD_VirtRange* virt) {
  ResetValues();
  g_switches = CallbackSwitches{};
  static std::vector<SOD_Entry> s_expanded;  // the older build's real table
  TestOd::InstallTables(real, virt, s_expanded, &SAPL_ps_OD, &SAPL_ps_SOD_VIRT);
  g_callbackCalls.clear();
}

void UseMainTables() { UseTables(k_mainTable, k_mainVirt); }

const std::vector<FaultyTable>& FaultyTables() {
  static const std::vector<FaultyTable> k_tables = [] {
    std::vector<FaultyTable> tables = {
      {"null table", nullptr, nullptr, 0xF71B, 0},
      {"first record is the end record", k_firstIsEnd, nullptr, 0xF71C, 0},
      {"u8 of length 2", k_F73C, nullptr, 0xF73C, Info(0x1001, 0)},
      {"int16 of length 1", k_F73D, nullptr, 0xF73D, Info(0x1001, 3)},
      {"real32 of length 8", k_F73E, nullptr, 0xF73E, Info(0x1001, 0)},
      {"uint64 of length 4", k_F73F, nullptr, 0xF73F, Info(0x1001, 0)},
      {"domain of length 0", k_F740, nullptr, 0xF740, Info(0x1001, 0)},
      {"unknown type", k_F741, nullptr, 0xF741, Info(0x1001, 0)},
      {"virtual u16 of length 4", k_oneGood, k_badVirt, 0xF73D, Info(0x5000, 1)},
      {"maximum below minimum", k_F73B, nullptr, 0xF73B, Info(0x1001, 0)},
      {"boolean with a range", k_F730, nullptr, 0xF730, Info(0x1001, 0)},
      {"attributes 0", k_F735a, nullptr, 0xF735, Info(0x1001, 0)},
      {"reserved bit 0x0020", k_F735b, nullptr, 0xF735, Info(0x1001, 0)},
      {"array bit in the real table", k_F735c, nullptr, 0xF735, Info(0x1001, 0)},
      {"no access bit", k_F736, nullptr, 0xF736, Info(0x1001, 0)},
      {"constant and readable", k_F737, nullptr, 0xF737, Info(0x1001, 0)},
      {"default required but missing", k_F738, nullptr, 0xF738, Info(0x1001, 0)},
      {"callback bit without callback", k_F739, nullptr, 0xF739, Info(0x1001, 0)},
      {"callback without callback bit", k_F73A, nullptr, 0xF73A, Info(0x1001, 0)},
      {"no data", k_F731, nullptr, 0xF731, Info(0x1001, 0)},
      {"string without bytes", k_F732a, nullptr, 0xF732, Info(0x1001, 0)},
      {"null stored pointer", k_F732b, nullptr, 0xF732, Info(0x1001, 0)},
      {"index below the previous", k_F733, nullptr, 0xF733, Info(0x1000, 0)},
      {"sub-index not above the previous", k_F734, nullptr, 0xF734, Info(0x1000, 1)},
      {"default outside its range", k_badDefault, nullptr, 0x270D, 0x06090031},
    };
    // Only the current release has virtual ranges that can clash with the real table.
    if (!SCM_kLegacy) {
      tables.insert(tables.begin() + 2, {"object in both tables", k_dupReal, k_testRangeOnly, 0xF75B, Info(0x3000, 1)});
    }
    // The older release reserves the virtual bit too: its table holds real objects only.
    if (SCM_kLegacy) {
      tables.push_back({"virtual bit in the real table", k_F735d, nullptr, 0xF735, Info(0x1001, 0)});
    }
    return tables;
  }();
  return k_tables;
}

}  // namespace StackTest
