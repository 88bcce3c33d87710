// The checker's readers accept every file the generator writes, and read back
// what the domain described.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <utility>
#include <vector>

#include "CCorvaneDat.h"
#include "CCorvaneDatUdidReader.h"
#include "CException.h"
#include "CKelParaSaf.h"
#include "CKelParaSafScmSectionParameterReader.h"
#include "CParData1Bin.h"
#include "CParData1BinAdditionalParameterHeaderReader.h"
#include "CParameterAdditionalParameterHeaderReader.h"
#include "CParameterCommissioningFlagReader.h"
#include "CParameterConfigurationDataReader.h"
#include "CParameterFirmwareVersionReader.h"
#include "CParameterParameterChecksumReader.h"
#include "CParameterSafetyAddressReader.h"
#include "ScmGen.h"
#if defined(SCM_GEN_DEMO_DESCRIPTION)
#include "ScmGenDescription.h"
#endif

namespace {

using Bytes = ScmGen::Bytes;

/// A small domain, the same with large parameter sets, and the shipped demo description.
std::vector<std::pair<std::string, ScmGen::Domain>> Domains() {
  std::vector<std::pair<std::string, ScmGen::Domain>> out;
  ScmGen::Domain d;
  for (std::uint16_t i = 0; i < 3; ++i) {
    ScmGen::Node n;
    n.sadr = static_cast<std::uint16_t>(1 + 4 * i);
    n.udid = {0x02, 0x5C, 0x3E, 0xA0, 0x00, static_cast<std::uint8_t>(n.sadr)};
    n.vendorId = 0x0025C3E0;
    n.productCode = 0x1000u + i;
    n.revision = 0x00020003u + i;
    n.parameterSet = Bytes(40 + i, static_cast<std::uint8_t>(i));
    n.checksum = Bytes(4 * (i + 1), static_cast<std::uint8_t>(0xA0 + i));
    n.additionalSadrs = {static_cast<std::uint16_t>(100 + i)};
    d.nodes.push_back(n);
  }
  d.scm.commissioning = std::array<std::uint32_t, 3>{1, 0, 1};
  d.scm.configuration = ScmGen::ConfigurationData{1, 0, 1, 5};
  d.sets.push_back({5, 1, Bytes(24, 0x11), 7, {}});
  d.sets.push_back({9, 15, Bytes(16, 0x22), 8, {}});
  out.emplace_back("small", d);
  ScmGen::Domain large = d;
  for (auto& n : large.nodes) {
    n.parameterSet = Bytes(20000, 0x5A);
  }
  large.sets.push_back({5, 2, Bytes(30000, 0x33), 9, {}});
  out.emplace_back("large", large);
#if defined(SCM_GEN_DEMO_DESCRIPTION)
  const ScmGen::DescriptionResult demo = ScmGen::LoadDescription(SCM_GEN_DEMO_DESCRIPTION);
  EXPECT_EQ(demo.error, "");
  out.emplace_back("demo description", demo.domain);
#endif
  return out;
}

class CheckerReadsGeneratedFiles : public ::testing::TestWithParam<std::pair<std::string, ScmGen::Domain>> {
 protected:
  void SetUp() override {
    const ScmGen::Result r = ScmGen::Generate(GetParam().second);
    ASSERT_EQ(r.error, "");
    files = r.files;
  }
  ScmGen::FileSet files;  ///< what the generator wrote
};

TEST_P(CheckerReadsGeneratedFiles, KelParaSafAndItsObjectReaders) {
  const ScmGen::Domain& d = GetParam().second;
  Param::CKelParaSaf kel(262144, files.kelParaSaf.data());
  ASSERT_NO_THROW(kel.ReadContent(static_cast<u32>(files.kelParaSaf.size())));
  Param::CKelParaSafScmSectionParameterReader records(kel);

  Param::CParameterFirmwareVersionReader versions(records);
  std::vector<std::uint16_t> sadrs;
  ASSERT_NO_THROW({
    versions.Open();
    u16 sadr = 0;
    u32 vendor = 0;
    u32 product = 0;
    u16 high = 0;
    u16 low = 0;
    while (versions.TryReadNext(sadr, vendor, product, high, low)) {
      const auto& n = d.nodes.at(sadrs.size());
      EXPECT_EQ(sadr, n.sadr);
      EXPECT_EQ(vendor, n.vendorId);
      EXPECT_EQ(product, n.productCode);
      EXPECT_EQ((static_cast<u32>(high) << 16) | low, n.revision);
      sadrs.push_back(sadr);
    }
    versions.Close();
  });
  EXPECT_EQ(sadrs.size(), d.nodes.size());

  Param::CParameterParameterChecksumReader checksums(records);
  std::size_t count = 0;
  ASSERT_NO_THROW({
    checksums.Open();
    u16 sadr = 0;
    u32 length = 0;
    const u8* checksum = nullptr;
    while (checksums.TryReadNext(sadr, length, checksum)) {
      const auto& n = d.nodes.at(count++);
      EXPECT_EQ(sadr, n.sadr);
      EXPECT_EQ(Bytes(checksum, checksum + length), n.checksum);
    }
    checksums.Close();
  });
  EXPECT_EQ(count, d.nodes.size());

  Param::CParameterSafetyAddressReader addresses(records);
  std::vector<std::uint16_t> listed;
  ASSERT_NO_THROW({
    addresses.Open();
    u16 sadr = 0;
    while (addresses.TryReadNext(sadr)) {
      listed.push_back(sadr);
    }
    addresses.Close();
  });
  EXPECT_EQ(listed, sadrs);

  Param::CParameterCommissioningFlagReader commissioning(records);
  ASSERT_NO_THROW({
    commissioning.Open();
    bool setup = false;
    bool corvane = false;
    bool firmware = false;
    EXPECT_EQ(commissioning.TryReadNext(setup, corvane, firmware), d.scm.commissioning.has_value());
    if (d.scm.commissioning) {
      EXPECT_EQ(setup, (*d.scm.commissioning)[0] != 0);
      EXPECT_EQ(firmware, (*d.scm.commissioning)[1] != 0);
      EXPECT_EQ(corvane, (*d.scm.commissioning)[2] != 0);
    }
    commissioning.Close();
  });

  Param::CParameterConfigurationDataReader configuration(records);
  ASSERT_NO_THROW({
    configuration.Open();
    bool active = false;
    EXPECT_EQ(configuration.TryReadNext(active), d.scm.configuration.has_value());
    if (d.scm.configuration) {
      EXPECT_EQ(active, d.scm.configuration->machineOptionsActive != 0);
    }
    configuration.Close();
  });

  Param::CParameterAdditionalParameterHeaderReader inKel(records);
  ASSERT_NO_THROW({
    inKel.Open();
    u16 sadr = 0;
    u8 number = 0;
    const u8* header = nullptr;
    EXPECT_FALSE(inKel.TryReadNext(sadr, number, header)) << "additional sets belong in pardata1.bin";
    inKel.Close();
  });
}

TEST_P(CheckerReadsGeneratedFiles, CorvaneDatDeliversTheNodesUdids) {
  const ScmGen::Domain& d = GetParam().second;
  Bytes buffer = files.corvaneDat;
  Param::CCorvaneDat corvane(65536, buffer.data());
  ASSERT_NO_THROW(corvane.ReadContent(static_cast<u32>(buffer.size())));
  Param::CCorvaneDatUdidReader reader(corvane);
  std::map<std::uint16_t, Bytes> read;
  ASSERT_NO_THROW({
    reader.Open();
    u16 sadr = 0;
    const u8* udid = nullptr;
    while (reader.TryReadNext(sadr, udid)) {
      read[sadr] = Bytes(udid, udid + 6);
    }
    reader.Close();
  });
  std::map<std::uint16_t, Bytes> expected;
  for (const auto& n : d.nodes) {
    if (std::any_of(n.udid.begin(), n.udid.end(), [](std::uint8_t b) { return b != 0; })) {
      expected[n.sadr] = Bytes(n.udid.begin(), n.udid.end());
    }
  }
  EXPECT_EQ(read, expected);
}

TEST_P(CheckerReadsGeneratedFiles, ParData1BinDeliversEverySet) {
  const ScmGen::Domain& d = GetParam().second;
  ASSERT_TRUE(files.parData1.has_value());
  Param::CParData1Bin parData(65536, files.parData1->data());
  ASSERT_NO_THROW(parData.ReadContent(static_cast<u32>(files.parData1->size())));
  Param::CParData1BinAdditionalParameterHeaderReader reader(parData);
  std::vector<std::pair<std::uint16_t, std::uint8_t>> read;
  ASSERT_NO_THROW({
    reader.Open();
    u16 sadr = 0;
    u8 number = 0;
    const u8* header = nullptr;
    while (reader.TryReadNext(sadr, number, header)) {
      read.emplace_back(sadr, number);
    }
    reader.Close();
  });
  std::vector<std::pair<std::uint16_t, std::uint8_t>> expected;
  for (const auto& s : d.sets) {
    expected.emplace_back(s.sadr, s.number);
  }
  EXPECT_EQ(read, expected);
}

INSTANTIATE_TEST_SUITE_P(Domains, CheckerReadsGeneratedFiles, ::testing::ValuesIn(Domains()),
                         [](const auto& info) {
                           std::string name = info.param.first;
                           std::replace(name.begin(), name.end(), ' ', '_');
                           return name;
                         });

}  // namespace
