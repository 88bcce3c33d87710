// The real objects of the firmware's object list (the table the current
// release registers, and the rows the older release expands its ranges
// around) and the values behind them.
#include <array>

#include "EPSod.h"
#include "MFWQZ.h"
#include "SAPL.h"

namespace {
/// Attribute sets of the list.
constexpr u16 k_CONST = SOD_k_ATTR_CONST;                              ///< constant
constexpr u16 k_RO = SOD_k_ATTR_READ;                                  ///< read-only
constexpr u16 k_RW = SOD_k_ATTR_READ | SOD_k_ATTR_WRITE;               ///< readable and writable
constexpr u16 k_PAR = SOD_k_ATTR_READ | SOD_k_ATTR_WRITE | SOD_k_ATTR_CRC;  ///< writable saved parameter
constexpr u16 k_PAR_CB = k_PAR | SOD_k_ATTR_AFT_WR;                    ///< saved parameter with after-write callback
constexpr u16 k_RO_CRC = SOD_k_ATTR_READ | SOD_k_ATTR_CRC;             ///< read-only saved parameter
constexpr u16 k_RO_CB = SOD_k_ATTR_READ | SOD_k_ATTR_BEF_RD;           ///< read-only, filled before each read

/// Common event counters shown in 0x1004/1-13.
constexpr u32 k_COUNTERS = 13;
/// Machine-option objects 0x2100/1-32.
constexpr u32 k_MACHINE_OPTIONS = 32;

// ---- values of the real objects ----
u8 s_ucErrorRegister;                       ///< 0x1001/0
u8 s_ucCounterCount;                        ///< 0x1004/0
u32 s_aulCounters[k_COUNTERS];              ///< 0x1004/1-13, taken before each read
u8 s_ucGuardCount;                          ///< 0x100C/0
u32 s_ulGuardTime;                          ///< 0x100C/1
u8 s_ucLifeTimeFactor;                      ///< 0x100C/2
u32 s_ulRefreshInterval;                    ///< 0x100D/0
u8 s_ucRefreshTries;                        ///< 0x100E/0
u8 s_ucIdentityCount;                       ///< 0x1018/0
u32 s_aulIdentity[5];                       ///< 0x1018/1-5
u32 s_ulOwnTimestamp;                       ///< 0x1018/7
u32 s_ulIdentity8;                          ///< 0x1018/8
u16 s_usIdentity9;                          ///< 0x1018/9
u8 s_ucConfigCount;                         ///< 0x101B/0
u8 s_ucSdnCount;                            ///< 0x1200/0
u16 s_usSdn;                                ///< 0x1200/1
u16 s_usScmSadr;                            ///< 0x1200/2
u32 s_ulSsdoTimeout;                        ///< 0x1201/1
u8 s_ucSsdoRetries;                         ///< 0x1201/2
u32 s_ulSnmtTimeout;                        ///< 0x1202/1
u8 s_ucSnmtRetries;                         ///< 0x1202/2
u8 s_ucOptionCount;                         ///< 0x2100/0
u8 s_aucOptions[k_MACHINE_OPTIONS];         ///< 0x2100/1-32
u8 s_ucAutoConfigCount;                     ///< 0x2106/0
// The application's flag arrays in the order of its working arrays and of
// "autocnf.bin": optional, required at start-up, not processed; then the
// auto-configuration flags.
SOD_VarData s_aConfigArrays[4] = {{EPS_kConfigArrayBytes, MFWQZ_gaucOptFlags_SOD},
                                  {EPS_kConfigArrayBytes, MFWQZ_gaucStpFlags_SOD},
                                  {EPS_kConfigArrayBytes, MFWQZ_gaucNprFlags_SOD},
                                  {EPS_kConfigArrayBytes, MFWQZ_gaucBcmFlags}};  ///< 0x2106/1-3, 0x2106/8

// ---- defaults and ranges ----
constexpr u8 k_DEF_13 = 13;                   ///< 0x1004/0
constexpr u8 k_DEF_2 = 2;                     ///< 0x100C/0, 0x100C/2
constexpr u32 k_DEF_100000 = 100000;          ///< 0x100C/1, 0x100D/0
constexpr u8 k_DEF_5 = 5;                     ///< 0x100E/0, retries
constexpr u8 k_DEF_9 = 9;                     ///< 0x1018/0
constexpr u16 k_DEF_0x104 = 0x104;            ///< 0x1018/9
constexpr u8 k_DEF_1 = 1;                     ///< 0x101B/0
constexpr u8 k_DEF_0 = 0;                     ///< 0x101B/1, 0x2100/n, 0x2107/1
constexpr u8 k_DEF_4 = 4;                     ///< 0x1200/0
constexpr u32 k_DEF_20000 = 20000;            ///< 0x1201/1, 0x1202/1
constexpr u8 k_DEF_32 = 32;                   ///< 0x2100/0
constexpr u8 k_DEF_8 = 8;                     ///< 0x2106/0
constexpr u32 k_DEF_SCANS = 5;                ///< 0x2106/7
// No SADR is auto-configured unless the parameter set says so: a default of
// every bit would name SADRs outside any node list and fail the table build.
constexpr std::array<u8, EPS_kConfigArrayBytes> k_DEF_NO_AUTOCNF{};  ///< 0x2106/8
constexpr u32 k_RNG_GUARD[2] = {60000, 600000};        ///< 0x100C/1
constexpr u8 k_RNG_LIFE[2] = {1, 255};                 ///< 0x100C/2
constexpr u16 k_RNG_SADR[2] = {0, 1023};               ///< 0x1200/1, 0x1200/2
constexpr i8 k_RNG_TIMEBASE[2] = {0, 3};               ///< 0x1200/3
constexpr u32 k_RNG_SSDO_TIMEOUT[2] = {1, 65535};      ///< 0x1201/1
constexpr u32 k_RNG_SNMT_TIMEOUT[2] = {1, 0xFFFFFFFFu};  ///< 0x1202/1
constexpr u32 k_RNG_BOOL[2] = {0, 1};                  ///< 0x2106/5
constexpr u32 k_RNG_SCANS[2] = {1, 10};                ///< 0x2106/7

/// Number of entries including the end record.
constexpr u32 k_ENTRIES = 1 + (1 + k_COUNTERS) + 3 + 1 + 1 + 10 + 1 + 2 + 5 + 2 + 2 + (1 + k_MACHINE_OPTIONS) + 9 +
                          1 + 1 + 1;

/// Builds one entry.
constexpr SOD_Entry E(u16 index, u8 sub, u16 attr, u32 type, u32 length, const void* def, void* data,
                      const void* range = nullptr, SOD_Callback cb = nullptr) {
  return SOD_Entry{index, sub, SOD_AttrPart{attr, type, length, def, data, range, cb}};
}

/// The table in (index, sub-index) order, closed by index 0xFFFF.
constexpr std::array<SOD_Entry, k_ENTRIES> BuildTable() {
  std::array<SOD_Entry, k_ENTRIES> t{};
  u32 n = 0;
  t[n++] = E(0x1001, 0, k_RO, SOD_k_UINT8, 1, nullptr, &s_ucErrorRegister);
  t[n++] = E(0x1004, 0, k_CONST, SOD_k_UINT8, 1, &k_DEF_13, &s_ucCounterCount);
  for (u32 i = 0; i < k_COUNTERS; ++i) {
    t[n++] = E(0x1004, static_cast<u8>(i + 1), k_RO_CB, SOD_k_UINT32, 4, nullptr, &s_aulCounters[i], nullptr,
               EPS_CommonCounterRead);
  }
  t[n++] = E(0x100C, 0, k_CONST, SOD_k_UINT8, 1, &k_DEF_2, &s_ucGuardCount);
  t[n++] = E(0x100C, 1, k_PAR, SOD_k_UINT32, 4, &k_DEF_100000, &s_ulGuardTime, k_RNG_GUARD);
  t[n++] = E(0x100C, 2, k_PAR, SOD_k_UINT8, 1, &k_DEF_2, &s_ucLifeTimeFactor, k_RNG_LIFE);
  t[n++] = E(0x100D, 0, k_RW, SOD_k_UINT32, 4, &k_DEF_100000, &s_ulRefreshInterval);
  t[n++] = E(0x100E, 0, k_RW, SOD_k_UINT8, 1, &k_DEF_5, &s_ucRefreshTries);
  t[n++] = E(0x1018, 0, k_CONST, SOD_k_UINT8, 1, &k_DEF_9, &s_ucIdentityCount);
  for (u32 i = 0; i < 5; ++i) {
    t[n++] = E(0x1018, static_cast<u8>(i + 1), k_RO, SOD_k_UINT32, 4, nullptr, &s_aulIdentity[i]);
  }
  t[n++] = E(0x1018, 6, k_RW, SOD_k_DOMAIN, EPS_kOwnChecksumMax, nullptr, &EPS_gOwnChecksum);
  t[n++] = E(0x1018, 7, k_RO, SOD_k_UINT32, 4, nullptr, &s_ulOwnTimestamp);
  t[n++] = E(0x1018, 8, k_RO, SOD_k_UINT32, 4, nullptr, &s_ulIdentity8);
  t[n++] = E(0x1018, 9, k_RO, SOD_k_UINT16, 2, &k_DEF_0x104, &s_usIdentity9);
  t[n++] = E(0x1019, 0, k_CONST, SOD_k_OSTRING, EPS_kUdidBytes, nullptr, &EPS_gOwnUdid);
  t[n++] = E(0x101B, 0, k_RO, SOD_k_UINT8, 1, &k_DEF_1, &s_ucConfigCount);
  t[n++] = E(0x101B, 1, k_PAR, SOD_k_UINT8, 1, &k_DEF_0, &EPS_gucConfigMode);
  t[n++] = E(0x1200, 0, k_CONST, SOD_k_UINT8, 1, &k_DEF_4, &s_ucSdnCount);
  t[n++] = E(0x1200, 1, k_RO, SOD_k_UINT16, 2, nullptr, &s_usSdn, k_RNG_SADR);
  t[n++] = E(0x1200, 2, k_RO, SOD_k_UINT16, 2, nullptr, &s_usScmSadr, k_RNG_SADR);
  t[n++] = E(0x1200, 3, k_PAR_CB, SOD_k_INT8, 1, nullptr, &EPS_gcTimeBase, k_RNG_TIMEBASE,
             EPS_CallbackSetCtMultiplyer);
  t[n++] = E(0x1200, 4, k_RW, SOD_k_OSTRING, EPS_kUdidBytes, nullptr, &EPS_gScmUdid);
  t[n++] = E(0x1201, 1, k_PAR, SOD_k_UINT32, 4, &k_DEF_20000, &s_ulSsdoTimeout, k_RNG_SSDO_TIMEOUT);
  t[n++] = E(0x1201, 2, k_PAR, SOD_k_UINT8, 1, &k_DEF_5, &s_ucSsdoRetries);
  t[n++] = E(0x1202, 1, k_PAR, SOD_k_UINT32, 4, &k_DEF_20000, &s_ulSnmtTimeout, k_RNG_SNMT_TIMEOUT);
  t[n++] = E(0x1202, 2, k_PAR, SOD_k_UINT8, 1, &k_DEF_5, &s_ucSnmtRetries);
  t[n++] = E(0x2100, 0, k_CONST, SOD_k_UINT8, 1, &k_DEF_32, &s_ucOptionCount);
  for (u32 i = 0; i < k_MACHINE_OPTIONS; ++i) {
    t[n++] = E(0x2100, static_cast<u8>(i + 1), k_PAR_CB, SOD_k_UINT8, 1, &k_DEF_0, &s_aucOptions[i], nullptr,
               EPS_MachineOption);
  }
  t[n++] = E(0x2106, 0, k_RO, SOD_k_UINT8, 1, &k_DEF_8, &s_ucAutoConfigCount);
  for (u32 i = 0; i < 3; ++i) {
    t[n++] = E(0x2106, static_cast<u8>(i + 1), k_RO, SOD_k_DOMAIN, EPS_kConfigArrayBytes, nullptr,
               &s_aConfigArrays[i]);
  }
  t[n++] = E(0x2106, 4, k_RO, SOD_k_UINT32, 4, nullptr, &MFWQZ_gbMachineOptionsActive);
  t[n++] = E(0x2106, 5, k_RO, SOD_k_UINT32, 4, nullptr, &MFWQZ_gbStartupFlagsActive, k_RNG_BOOL);
  t[n++] = E(0x2106, 6, k_RO, SOD_k_UINT32, 4, nullptr, &MFWQZ_gbRemoteActive);
  t[n++] = E(0x2106, 7, k_RO, SOD_k_UINT32, 4, &k_DEF_SCANS, &MFWQZ_gulScansAtStartup, k_RNG_SCANS);
  t[n++] = E(0x2106, 8, k_RO, SOD_k_DOMAIN, EPS_kConfigArrayBytes, k_DEF_NO_AUTOCNF.data(), &s_aConfigArrays[3]);
  t[n++] = E(0x2107, 1, k_RO, SOD_k_UINT8, 1, &k_DEF_0, &EPS_gucScmSsdoSetting);
  t[n++] = E(0x2109, 1, k_RO_CRC, SOD_k_UINT8, 1, nullptr, &MFWQZ_gucPtRelease);
  t[n++] = E(SOD_k_END_INDEX, 0, 0, 0, 0, nullptr, nullptr);
  return t;
}
}  // namespace

u8 EPS_gucScmSsdoSetting;
i8 EPS_gcTimeBase;
u8 EPS_gucConfigMode;

/// The real objects of the list, sorted by (index, sub-index) and closed by index 0xFFFF.
constexpr std::array<SOD_Entry, k_ENTRIES> SAPL_s_OD_INST_0 = BuildTable();

const SOD_Entry* EPS_OdBaseTable(void) { return SAPL_s_OD_INST_0.data(); }
