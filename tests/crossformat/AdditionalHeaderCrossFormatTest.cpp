// Both channels over the same generated files: every additional parameter set
// the firmware's parsers load for download has its 16-byte header,
// complemented, in the catalog the checker's persistence builds from the files.
#include <gtest/gtest.h>

#include <memory>

#include "Check/CPersistentAdditionalParameterCatalog.h"
#include "CheckerTestDomain.h"
#include "ParamFixture.h"
#include "PersistenceTestSupport.h"

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

TEST_F(AdditionalHeaderCrossFormat, EveryLoadedSetHasItsHeaderInTheCatalog) {
  std::vector<ScmGen::Domain> domains = {demo};
  ScmGen::Domain more = demo;
  more.sets.push_back({more.nodes[2].sadr, 2, ParamTest::Bytes(40, 0x3C), 0x12345678, {}});
  more.sets.push_back({more.nodes[3].sadr, 15, ParamTest::Bytes(3, 0x4D), 9, {}});
  domains.push_back(more);
  for (const ScmGen::Domain& domain : domains) {
    SCOPED_TRACE(domain.sets.size());
    const ScmGen::FileSet files = ParamTest::Files(domain);
    ASSERT_TRUE(files.parData1.has_value());
    Init(files.kelParaSaf, files.corvaneDat, *files.parData1);
    const auto loaded = FirmwareHeaders();
    ASSERT_EQ(loaded.size(), domain.sets.size());

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

}  // namespace
