// The application's module table: the build from the node list of the object
// dictionary, the configured revisions, the auto-configuration UDIDs, the
// optional test, the counters and the registration of faults.
#include <gtest/gtest.h>

#include <array>
#include <cstring>

#include "AppFixture.h"
#include "MFWQZ.h"
#include "ScmProfile.h"
#include "SOD.h"

namespace FwTest {
namespace {

using TestFiles::Record;

/// A node-list object's records (vendor, product, revision of the demo kind).
std::vector<Record> Node(uint16_t index, uint16_t sadr) {
  return TestFiles::NodeRecords(index, sadr, 0x0025C3E0, 0x1005, 0x00010000);
}

/// The records of several node-list objects.
std::vector<Record> Nodes(const std::vector<std::pair<uint16_t, uint16_t>>& list) {
  std::vector<Record> r;
  for (const auto& [index, sadr] : list) {
    const std::vector<Record> n = Node(index, sadr);
    r.insert(r.end(), n.begin(), n.end());
  }
  return r;
}

using AppModuleTable = AppFixture;

TEST_F(AppModuleTable, BuildFromTheFirmwaresObjectList) {
  const struct {
    const char* what;
    std::vector<Record> records;
    uint8_t result;
    std::vector<uint16_t> configured;
    std::vector<uint16_t> autoConfigured;
    std::vector<Event> events;
  } cases[] = {
      {"one node", Nodes({{0xC400, 5}}), 1, {5}, {}, {}},
      {"two nodes", Nodes({{0xC400, 5}, {0xC401, 1023}}), 1, {5, 1023}, {}, {}},
      {"a gap in the list", Nodes({{0xC400, 5}, {0xC405, 9}}), 1, {5, 9}, {}, {}},
      {"the same SADR twice", Nodes({{0xC400, 5}, {0xC401, 5}}), 0, {5}, {}, {{3, 0x9200C00B, 0xC401, 1}}},
      {"configuration mode not 0",
       [] {
         std::vector<Record> r = Nodes({{0xC400, 5}});
         r.push_back(Record{0x101B, 1, {1}});
         return r;
       }(),
       0, {}, {}, {{3, 0x9200C013, 1, 0}}},
      {"auto-configured SADR in the list",
       [] {
         std::vector<Record> r = Nodes({{0xC400, 5}, {0xC401, 7}});
         r.push_back(ConfigArrayRecord(8, SadrArray({7})));
         return r;
       }(),
       1, {5, 7}, {7}, {}},
      {"auto-configured SADR outside the list",
       [] {
         std::vector<Record> r = Nodes({{0xC400, 5}});
         r.push_back(ConfigArrayRecord(8, SadrArray({5, 8})));
         return r;
       }(),
       0, {5}, {5}, {{3, 0x9200C014, 8, 0}}},
  };
  for (const auto& c : cases) {
    SetUp();
    StartObjectList(c.records);
    MFWQZ_ModuleInfo[300].ulFlags = 0x1;  // anything of an earlier build goes
    EXPECT_EQ(MFWQZ_GetModuleInfo(), c.result) << c.what;
    for (uint32_t s = 1; s < MFWQZ_kModuleCount; ++s) {
      uint32_t expected = 0;
      for (uint16_t x : c.configured) {
        expected |= x == s ? 0x3u : 0u;
      }
      for (uint16_t x : c.autoConfigured) {
        expected |= x == s ? 0x04000000u : 0u;
      }
      ASSERT_EQ(MFWQZ_ModuleInfo[s].ulFlags, expected) << c.what << " SADR " << s;
      ASSERT_EQ(MFWQZ_ModuleInfo[s].ulNodeState, 255u) << c.what << " SADR " << s;
    }
    EXPECT_EQ(MFWQZ_GetNoConfiguredModules(), c.configured.size()) << c.what;
    EXPECT_EQ(TakeEvents(), c.events) << c.what;
    TearDown();
  }
}

TEST_F(AppModuleTable, AFailedConfigurationModeCheckClearsTheAutoConfigurationFlags) {
  std::vector<Record> r = Nodes({{0xC400, 5}});
  r.push_back(Record{0x101B, 1, {2}});
  r.push_back(ConfigArrayRecord(8, SadrArray({5})));
  StartObjectList(r);
  EXPECT_EQ(MFWQZ_GetModuleInfo(), 0);
  EXPECT_EQ(std::vector<uint8_t>(MFWQZ_gaucBcmFlags, MFWQZ_gaucBcmFlags + 128), SadrArray({}));
  EXPECT_EQ(TakeEvents(), (std::vector<Event>{{3, 0x9200C013, 2, 0}}));
}

// Tables of the test's own for what the firmware's object list never serves.
u8 g_ucMode;                       ///< 0x101B/1
u16 g_usMode16;                    ///< 0x101B/1 of the wrong type
u16 g_ausSadr[2];                  ///< 0xC400/1, 0xC401/1
u32 g_ulSadr32;                    ///< 0xC400/1 of the wrong type
u8 g_aucUdid[6];                   ///< 0xCC05/1 as a domain
SOD_VarData g_Udid = {6, g_aucUdid};
constexpr u16 kRw = SOD_k_ATTR_READ | SOD_k_ATTR_WRITE;

constexpr SOD_Entry E(u16 index, u8 sub, u32 type, u32 length, void* data) {
  return SOD_Entry{index, sub, SOD_AttrPart{kRw, type, length, nullptr, data, nullptr, nullptr}};
}
const SOD_Entry kEnd = E(SOD_k_END_INDEX, 0, 0, 0, nullptr);

TEST_F(AppModuleTable, BuildFromTablesTheObjectListNeverServes) {
  const std::array<SOD_Entry, 4> aboveRange = {E(0x101B, 1, SOD_k_UINT8, 1, &g_ucMode),
                                               E(0xC400, 1, SOD_k_UINT16, 2, &g_ausSadr[0]),
                                               E(0xC401, 1, SOD_k_UINT16, 2, &g_ausSadr[1]), kEnd};
  const std::array<SOD_Entry, 4> wrongSadrType = {E(0x101B, 1, SOD_k_UINT8, 1, &g_ucMode),
                                                  E(0xC400, 1, SOD_k_UINT32, 4, &g_ulSadr32),
                                                  E(0xC401, 1, SOD_k_UINT16, 2, &g_ausSadr[1]), kEnd};
  const std::array<SOD_Entry, 4> wrongModeType = {E(0x101B, 1, SOD_k_UINT16, 2, &g_usMode16),
                                                  E(0xC400, 1, SOD_k_UINT16, 2, &g_ausSadr[0]),
                                                  E(0xC401, 1, SOD_k_UINT16, 2, &g_ausSadr[1]), kEnd};
  const std::array<SOD_Entry, 3> secondMissing = {E(0x101B, 1, SOD_k_UINT8, 1, &g_ucMode),
                                                  E(0xC400, 1, SOD_k_UINT16, 2, &g_ausSadr[0]), kEnd};
  const struct {
    const char* what;
    const SOD_Entry* table;
    uint16_t first, second;
    uint8_t result;
    std::vector<Event> events;
  } cases[] = {
      {"SADR 1024", aboveRange.data(), 1024, 3, 0, {{3, 0x9200C00B, 0xC400, 1}}},
      {"SADRs 1023 and 3", aboveRange.data(), 1023, 3, 1, {}},
      {"SADR of type u32", wrongSadrType.data(), 5, 3, 0, {{3, 0x9200C00A, 0xC400, 1}}},
      {"configuration mode of type u16", wrongModeType.data(), 5, 3, 0,
       {{3, 0x9200C00A, 0x101B, 1}, {3, 0x9200C009, 0x101B, 1}}},
      {"second list object missing", secondMissing.data(), 5, 0, 0, {{3, 0x9200C009, 0xC401, 1}}},
  };
  for (const auto& c : cases) {
    SetUp();
    UseTable(c.table);
    g_ausSadr[0] = c.first;
    g_ausSadr[1] = c.second;
    g_ulSadr32 = c.first;
    EXPECT_EQ(MFWQZ_GetModuleInfo(), c.result) << c.what;
    EXPECT_EQ(TakeEvents(), c.events) << c.what;
    TearDown();
  }
}

TEST_F(AppModuleTable, OwnSaddrIsReadFromTheObjectList) {
  StartObjectList(Nodes({{0xC400, 5}}));
  EXPECT_EQ(MFWQZ_GetOwnSaddr(), 1);
  EXPECT_EQ(MFWQZ_usSaddr, 1023);
  EXPECT_TRUE(TakeEvents().empty());
}

TEST_F(AppModuleTable, SaddrChecks) {
  Configure({5});
  const struct {
    uint16_t sadr;
    uint8_t range, configured;
    std::vector<Event> events;
  } cases[] = {{0, 0, 0, {{3, 0x9200C00C, 0, 0}}},
               {5, 1, 1, {}},
               {6, 1, 0, {{3, 0x9200C00C, 1, 6}}},
               {1024, 0, 0, {{3, 0x9200C00C, 0, 1024}}}};
  for (const auto& c : cases) {
    SetUp();
    Configure({5});
    EXPECT_EQ(MFWQZ_CheckSaddrRange(c.sadr), c.range) << c.sadr;
    (void)TakeEvents();
    EXPECT_EQ(MFWQZ_CheckSaddr(c.sadr), c.configured) << c.sadr;
    EXPECT_EQ(TakeEvents(), c.events) << c.sadr;
  }
}

TEST_F(AppModuleTable, StoringARevisionClearsAFirmwareDifferenceOnlyInTheCurrentRelease) {
  Configure({5});
  MFWQZ_ModuleInfo[5].ulFlags |= 0x8000;
  EXPECT_EQ(MFWQZ_StoreCnfRev(5, 0x0010), 1);
  EXPECT_EQ(MFWQZ_ModuleInfo[5].ulFlags, SCM_kLegacy ? 0x18001u : 0x10001u);
  EXPECT_EQ(MFWQZ_ModuleInfo[5].usConfiguredRev, 0x0010);
  EXPECT_TRUE(TakeEvents().empty());
}

TEST_F(AppModuleTable, ConfiguredRevisions) {
  Configure({5});
  EXPECT_EQ(MFWQZ_StoreCnfRev(5, 0x0010), 1);
  EXPECT_EQ(MFWQZ_ModuleInfo[5].ulFlags, 0x10001u);
  EXPECT_EQ(MFWQZ_ModuleInfo[5].usConfiguredRev, 0x0010);
  // A second store is an error and changes nothing.
  EXPECT_EQ(MFWQZ_StoreCnfRev(5, 0x0011), 0);
  EXPECT_EQ(MFWQZ_ModuleInfo[5].usConfiguredRev, 0x0010);
  EXPECT_EQ(TakeEvents(), (std::vector<Event>{{3, 0x9200C010, 5, 0x11}}));
  // Not configured: nothing stored; out of range: refused; neither raises anything.
  EXPECT_EQ(MFWQZ_StoreCnfRev(6, 0x0010), 1);
  EXPECT_EQ(MFWQZ_ModuleInfo[6].ulFlags, 0u);
  EXPECT_EQ(MFWQZ_StoreCnfRev(0, 1), 0);
  EXPECT_EQ(MFWQZ_StoreCnfRev(1024, 1), 0);
  EXPECT_TRUE(TakeEvents().empty());

  u16 rev = 0xFFFF;
  EXPECT_EQ(MFWQZ_ReadCnfRev(5, &rev), 1);
  EXPECT_EQ(rev, 0x0010);
  rev = 0xFFFF;
  EXPECT_EQ(MFWQZ_ReadCnfRev(6, &rev), 0);
  EXPECT_EQ(rev, 0);
  // A firmware difference alone also yields the revision.
  MFWQZ_ModuleInfo[6].ulFlags = 0x8001;
  MFWQZ_ModuleInfo[6].usConfiguredRev = 0x22;
  EXPECT_EQ(MFWQZ_ReadCnfRev(6, &rev), 1);
  EXPECT_EQ(rev, 0x22);
  EXPECT_EQ(MFWQZ_ReadCnfRev(1024, &rev), 0);
  EXPECT_EQ(rev, 0);
  EXPECT_EQ(MFWQZ_ReadCnfRev(5, nullptr), 0);
  EXPECT_EQ(TakeEvents(), (std::vector<Event>{{3, 0x9200C00F, 0, 0}}));

  EXPECT_EQ(MFWQZ_ClearCnfRev(), 1);
  EXPECT_EQ(MFWQZ_ModuleInfo[5].ulFlags, 0x1u);
  EXPECT_EQ(MFWQZ_ModuleInfo[5].usConfiguredRev, 0);
  EXPECT_EQ(MFWQZ_StoreCnfRev(5, 0x0012), 1);
}

TEST_F(AppModuleTable, AutoConfigurationUdidIsWrittenAsTheListsOctetString) {
  std::vector<Record> r = Nodes({{0xC400, 5}, {0xC401, 6}});
  r.push_back(ConfigArrayRecord(8, SadrArray({5})));
  StartObjectList(r);
  ASSERT_EQ(MFWQZ_GetModuleInfo(), 1);
  const u8 udid[6] = {0x00, 0x60, 0x65, 0x11, 0x22, 0x33};
  EXPECT_EQ(MFWQZ_StoreAutoCnfUdid(5, udid), 1);
  SOD_Access acc{};
  acc.obj.usIndex = 0xCC05;
  acc.obj.ucSubIndex = 1;
  SOD_ErrorInfo err{};
  ASSERT_NE(SOD_AttrGetVirt(&acc, &err), nullptr);
  const auto* p = static_cast<const u8*>(SOD_ReadVirt(&acc, &err));
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(std::memcmp(p, udid, 6), 0);
  EXPECT_TRUE(TakeEvents().empty());
  EXPECT_EQ(MFWQZ_StoreAutoCnfUdid(6, udid), 0);
  EXPECT_EQ(TakeEvents(), (std::vector<Event>{{3, 0x9200C015, 0, 6}}));
  EXPECT_EQ(MFWQZ_StoreAutoCnfUdid(7, udid), 0);
  EXPECT_EQ(TakeEvents(), (std::vector<Event>{{3, 0x9200C00C, 1, 7}}));
  EXPECT_EQ(MFWQZ_ClearAutoCnfUdid(), 1);
  EXPECT_EQ(MFWQZ_ModuleInfo[5].ulFlags, 0x3u);
}

TEST_F(AppModuleTable, AutoConfigurationUdidOfAnotherTypeIsRefused) {
  const std::array<SOD_Entry, 2> table = {E(0xCC05, 1, SOD_k_DOMAIN, 6, &g_Udid), kEnd};
  UseTable(table.data());
  Configure({5});
  MFWQZ_ModuleInfo[5].ulFlags |= MFWQZ_kFlagAutoConfigured;
  const u8 udid[6] = {1, 2, 3, 4, 5, 6};
  EXPECT_EQ(MFWQZ_StoreAutoCnfUdid(5, udid), 0);
  EXPECT_EQ(TakeEvents(), (std::vector<Event>{{3, 0x9200C00A, 0xCC05, 1}}));
}

TEST_F(AppModuleTable, OptionalSadrs) {
  for (uint8_t* a : {MFWQZ_gaucOptFlags, MFWQZ_gaucNprFlags, MFWQZ_aucMissStpFlags, MFWQZ_gaucStpFlags}) {
    std::memset(a, 0xFF, 128);
  }
  std::memset(MFWQZ_gaucOptFlags, 0, 128);
  const struct {
    uint16_t sadr;
    uint8_t optional;
  } cases[] = {{0, 0}, {1, 1}, {1023, 1}, {1024, 0}, {0xFFFF, 0}};
  for (const auto& c : cases) {
    EXPECT_EQ(MFWQZ_IsModuleOptionalSADR(c.sadr), c.optional) << c.sadr;
  }
  // Each of optional, missing at start-up and not processed makes a SADR optional; start-up alone does not.
  std::memset(MFWQZ_gaaucModuleFlagArrays, 0, sizeof(MFWQZ_gaaucModuleFlagArrays));
  MFWQZ_SetSadrBit(MFWQZ_gaucOptFlags, 10);
  MFWQZ_SetSadrBit(MFWQZ_aucMissStpFlags, 11);
  MFWQZ_SetSadrBit(MFWQZ_gaucNprFlags, 12);
  MFWQZ_SetSadrBit(MFWQZ_gaucStpFlags, 13);
  EXPECT_EQ(MFWQZ_IsModuleOptionalSADR(10), 1);
  EXPECT_EQ(MFWQZ_IsModuleOptionalSADR(11), 1);
  EXPECT_EQ(MFWQZ_IsModuleOptionalSADR(12), 1);
  EXPECT_EQ(MFWQZ_IsModuleOptionalSADR(13), 0);
  // The four working arrays lie one after the other.
  EXPECT_EQ(&MFWQZ_gaucStpFlags[0], &MFWQZ_gaucOptFlags[0] + 128);
  EXPECT_EQ(&MFWQZ_gaucNprFlags[0], &MFWQZ_gaucOptFlags[0] + 256);
  EXPECT_EQ(&MFWQZ_aucMissStpFlags[0], &MFWQZ_gaucOptFlags[0] + 384);
}

TEST_F(AppModuleTable, CountersNeverGoBelowZero) {
  Configure({5});
  MFWQZ_DecErroneous(5);
  MFWQZ_DecErroneous(5);
  MFWQZ_DecUdidMisMatches(5);
  EXPECT_EQ(MFWQZ_ulNumberOfErroneousModules, 0u);
  EXPECT_EQ(MFWQZ_ulNumberOfUdidMisMatches, 0u);
  EXPECT_EQ(TakeEvents(),
            (std::vector<Event>{{3, 0x9200C003, 0, 5}, {3, 0x9200C003, 0, 5}, {3, 0x9200C002, 0, 5}}));
  // An optional module is neither counted nor taken off.
  MFWQZ_SetSadrBit(MFWQZ_gaucOptFlags, 6);
  MFWQZ_IncErroneous(6);
  MFWQZ_DecErroneous(6);
  MFWQZ_IncErroneous(5);
  EXPECT_EQ(MFWQZ_ulNumberOfErroneousModules, 1u);
  EXPECT_TRUE(TakeEvents().empty());
}

TEST_F(AppModuleTable, Registrations) {
  Configure({5, 6, 7});
  // Invalid: every second report, once (the older release: the first report, once).
  MFWQZ_RegisterInvalidModule(5);
  if constexpr (SCM_kLegacy) {
    EXPECT_EQ(TakeEvents(), (std::vector<Event>{{2, 0x6200C08D, 0, 5}}));
  } else {
    EXPECT_TRUE(TakeEvents().empty());
  }
  MFWQZ_RegisterInvalidModule(5);
  MFWQZ_RegisterInvalidModule(5);
  MFWQZ_RegisterInvalidModule(5);
  const std::vector<Event> registered = {{2, 0x6200C08D, 0, 5}};
  EXPECT_EQ(TakeEvents(), SCM_kLegacy ? std::vector<Event>{} : registered);
  EXPECT_EQ(MFWQZ_ModuleInfo[5].ulFlags, 0x101u);
  // Missing: once; an optional module never.
  MFWQZ_RegisterMissingModule(6);
  MFWQZ_RegisterMissingModule(6);
  MFWQZ_SetSadrBit(MFWQZ_gaucOptFlags, 7);
  MFWQZ_RegisterMissingModule(7);
  EXPECT_EQ(TakeEvents(), (std::vector<Event>{{2, 0x6200C089, 0, 6}}));
  EXPECT_EQ(MFWQZ_ModuleInfo[6].ulFlags, 0x801u);
  EXPECT_EQ(MFWQZ_ModuleInfo[7].ulFlags, 0x1u);
  // Parameter error: once.
  MFWQZ_RegisterParamErrModule(6);
  MFWQZ_RegisterParamErrModule(6);
  EXPECT_EQ(TakeEvents(), (std::vector<Event>{{2, 0x6200C08E, 0, 6}}));
  // Outside the table nothing is touched.
  for (uint16_t sadr : {0, 1024, 0xFFFF}) {
    MFWQZ_RegisterMissingModule(sadr);
    MFWQZ_RegisterInvalidModule(sadr);
    MFWQZ_RegisterInvalidModule(sadr);
    MFWQZ_RegisterParamErrModule(sadr);
  }
  EXPECT_EQ(MFWQZ_ModuleInfo[0].ulFlags, 0u);
  EXPECT_TRUE(TakeEvents().empty());
}

TEST_F(AppModuleTable, MissingAtStartUp) {
  Configure({5, 6, 7, 8}, 0);
  for (uint16_t s : {5, 6, 7, 8}) {
    MFWQZ_SetSadrBit(MFWQZ_gaucStpFlags, s);
  }
  MFWQZ_ulNumberOfErroneousModules = 2;
  MFWQZ_ModuleInfo[6].ulFlags |= MFWQZ_kFlagAnswered;  // answered once: not missing
  MFWQZ_SetSadrBit(MFWQZ_gaucOptFlags, 7);               // optional: not missing
  MFWQZ_ModuleInfo[8].ulNodeState = 255;                 // not counted: only marked
  for (uint16_t s : {5, 6, 7, 8, 9}) {
    MFWQZ_GetMissStpFlags(s);
  }
  MFWQZ_GetMissStpFlags(5);  // once only
  EXPECT_EQ(std::vector<uint8_t>(MFWQZ_aucMissStpFlags, MFWQZ_aucMissStpFlags + 128), SadrArray({5, 8}));
  EXPECT_EQ(MFWQZ_ulNumberOfErroneousModules, 1u);
  EXPECT_TRUE(TakeEvents().empty());
}

}  // namespace
}  // namespace FwTest
