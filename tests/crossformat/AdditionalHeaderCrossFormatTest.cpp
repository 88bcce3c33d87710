// Both channels over the same generated files: every additional parameter set
// the firmware's parsers load for download has its 16-byte header,
// complemented, in the catalog the checker's persistence builds from the files.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <memory>

#include "CAutoCnfBin.h"
#include "Check/CPersistentAdditionalParameterCatalog.h"
#include "CheckerTestDomain.h"
#include "HNFhwt.h"
#include "MFWQZ.h"
#include "MFWQZ_AppFiles.h"
#include "MFWQZ_Placeholder.h"
#include "ParamFixture.h"
#include "PersistenceTestSupport.h"
#include "ScmGenBuild.h"

namespace {

class AdditionalHeaderCrossFormat : public ParamTest::ParamFixture {
 protected:
  /// The headers the firmware loaded: (SADR, number) and the 16 plain bytes.
  std::vector<std::pair<std::pair<u16, u8>, ParamTest::Bytes>> FirmwareHeaders() {
    std::vector<std::pair<std::pair<u16, u8>, ParamTest::Bytes>> out;
    for (u16 sadr = 1; sadr <= 1023; ++sadr) {
      for (u8 number = 0; number < 16; ++number) {
        if (Address(static_cast<u16>(0xE3FF + sadr), static_cast<u8>(number + 1)) == nullptr) continue;
        const auto value = Read(static_cast<u16>(0xE3FF + sadr), static_cast<u8>(number + 1));
        if (value && value->size() >= 16) out.push_back({{sadr, number}, ParamTest::Bytes(value->begin(), value->begin() + 16)});
      }
    }
    return out;
  }
};

/// The header of the set the firmware loads for each (SADR, number): a "pardata1.bin"
/// set replaces the node list's set of the same SADR and number.
std::map<std::pair<u16, u8>, ParamTest::Bytes> ExpectedHeaders(const ScmGen::Domain& domain) {
  std::map<std::pair<u16, u8>, ParamTest::Bytes> out;
  for (const bool nodeList : {true, false}) {
    for (const ScmGen::AdditionalSet& set : domain.sets) {
      if (set.inNodeList == nodeList) {
        const ScmGen::Bytes entry = ScmGen::ParData1Entry(set.number, set.sadr, set.payload, set.timestamp);
        out[{set.sadr, set.number}] = ParamTest::Bytes(entry.begin(), entry.begin() + 16);
      }
    }
  }
  return out;
}

TEST_F(AdditionalHeaderCrossFormat, EveryLoadedSetHasItsHeaderInTheCatalog) {
  std::vector<ScmGen::Domain> domains = {demo};
  ScmGen::Domain more = demo;
  more.sets.push_back({more.nodes[2].sadr, 2, ParamTest::Bytes(40, 0x3C), 0x12345678, {}});
  more.sets.push_back({more.nodes[3].sadr, 15, ParamTest::Bytes(3, 0x4D), 9, {}});
  domains.push_back(more);
  // Node-list headers beside "pardata1.bin" sets, one of them replaced by the
  // "pardata1.bin" set of the same SADR and number (14/2).
  ScmGen::Domain listed = more;
  listed.sets.push_back({listed.nodes[2].sadr, 3, ParamTest::Bytes(21, 0x5E), 0x0A0B0C0D, {}, true});
  listed.sets.push_back({listed.nodes[3].sadr, 1, ParamTest::Bytes(), 0x11, {}, true});
  listed.sets.push_back({12, 2, ParamTest::Bytes(17000, 0x6F), 0x22, {}, true});
  listed.sets.push_back({14, 2, ParamTest::Bytes(33, 0x70), 0x33, {}, true});
  domains.push_back(listed);
  for (const ScmGen::Domain& domain : domains) {
    SCOPED_TRACE(domain.sets.size());
    const ScmGen::FileSet files = ParamTest::Files(domain);
    ASSERT_TRUE(files.parData1.has_value());
    Init(files.kelParaSaf, files.corvaneDat, *files.parData1);
    const auto loaded = FirmwareHeaders();
    const auto expected = ExpectedHeaders(domain);
    ASSERT_EQ(loaded.size(), expected.size());
    for (const auto& [key, header] : loaded) {
      SCOPED_TRACE(testing::Message() << key.first << "/" << int(key.second));
      ASSERT_EQ(expected.count(key), 1u);
      EXPECT_EQ(header, expected.at(key));
    }

    SetCheckerTestDomain(7);
    PersistenceTest::MemoryStorage storage;
    storage.files = {{"kel_para.saf", files.kelParaSaf}, {"corvane.dat", files.corvaneDat},
                     {"pardata1.bin", *files.parData1}};
    auto persistence = std::make_unique<Main::CDefaultPersistence>(storage);
    static_cast<void>(persistence->TryInitialize());
    auto catalog = std::make_unique<Check::CPersistentAdditionalParameterCatalog>(
        persistence->GetRequiredInvertedAdditionalParameterHeaderReader());
    catalog->Initialize();
    for (const auto& [key, header] : loaded) {
      SCOPED_TRACE(testing::Message() << key.first << "/" << int(key.second));
      ASSERT_TRUE(catalog->HasAdditionalParameter(key.first, key.second));
      const u8* stored = catalog->GetInvertedAdditionalParameterHeader(key.first, key.second);
      for (size_t i = 0; i < 16; ++i) {
        EXPECT_EQ(stored[i], static_cast<u8>(~header[i])) << i;
      }
    }
  }
}

// The SCM's own machine-option set (number 2 of SADR 1, behind 0xE400/2): the
// header the firmware builds from the options of "autocnf.bin" is, complemented,
// the one the checker's catalog holds for the same files.
TEST_F(AdditionalHeaderCrossFormat, TheMachineOptionSetHasItsHeaderInTheCatalog) {
  ScmGen::Domain domain = demo;
  domain.scm.configuration = ScmGen::ConfigurationData{1, 0, 0, 5};
  ScmGen::AutoCnf autoCnf;
  autoCnf.timestamp = 0x61A2B3C4u;
  autoCnf.machineOptions = ParamTest::Bytes(64);
  for (size_t i = 0; i < autoCnf.machineOptions->size(); ++i) {
    (*autoCnf.machineOptions)[i] = static_cast<u8>(5 * i + 2);
  }
  domain.autoCnf = autoCnf;
  const ScmGen::FileSet files = ParamTest::Files(domain);
  ASSERT_TRUE(files.parData1.has_value());
  ASSERT_TRUE(files.autoCnf.has_value());

  // The firmware's side: the application hands over the file's 76-byte option section.
  Init(files.kelParaSaf, files.corvaneDat, *files.parData1);
  host.files["AUTOCNF.BIN"] = *files.autoCnf;
  Param::CAutoCnfBin file(static_cast<u32>(files.autoCnf->size()), files.autoCnf->data());
  ASSERT_NO_THROW(file.ReadContent(static_cast<u32>(files.autoCnf->size())));
  u16 length = 0;
  const u8* section = nullptr;
  file.GetRawMachineOptionSection(length, section);
  ASSERT_EQ(length, MFWQZ_kMachineOptionBytes);
  std::memcpy(MFWQZ_aucMachineOptions, section, length);
  MFWQZ_geMachineOptionsStatus = 1;
  EXPECT_EQ(MFWQZ_gbMachineOptionsActive, 1u) << "0x2106/4 of the key file";
  EPS_WriteExternalMachineOptionsToSod();
  MFWQZ_geMachineOptionsStatus = 2;
  const auto set = Read(0xE400, EPS_kMachineOptionsNumber);
  ASSERT_TRUE(set.has_value());
  ASSERT_GE(set->size(), 16u);

  // The checker's side, from the same files.
  SetCheckerTestDomain(7);
  PersistenceTest::MemoryStorage storage;
  storage.files = {{"kel_para.saf", files.kelParaSaf}, {"corvane.dat", files.corvaneDat},
                   {"pardata1.bin", *files.parData1}, {"autocnf.bin", *files.autoCnf}};
  auto persistence = std::make_unique<Main::CDefaultPersistence>(storage);
  static_cast<void>(persistence->TryInitialize());
  auto catalog = std::make_unique<Check::CPersistentAdditionalParameterCatalog>(
      persistence->GetRequiredInvertedAdditionalParameterHeaderReader());
  catalog->Initialize();
  ASSERT_TRUE(catalog->HasAdditionalParameter(1, EPS_kMachineOptionsNumber));
  const u8* stored = catalog->GetInvertedAdditionalParameterHeader(1, EPS_kMachineOptionsNumber);
  for (size_t i = 0; i < 16; ++i) {
    EXPECT_EQ(stored[i], static_cast<u8>(~(*set)[i])) << i;
  }
}

}  // namespace
