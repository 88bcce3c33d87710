// The checker's readers accept every file the generator writes, and read back
// what the domain described.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <set>
#include <utility>
#include <vector>

#include "CCorvaneDat.h"
#include "CCorvaneDatUdidReader.h"
#include "CAutoCnfBin.h"
#include "CAutoCnfBinUdidSectionUdidReader.h"
#include "CAdditionalParameterHeaderReader.h"
#include "CException.h"
#include "CFwRevCnfBin.h"
#include "CFwRevCnfBinMinorRevisionReader.h"
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
#include "ScmGenBuild.h"
#if defined(SCM_GEN_DEMO_DESCRIPTION)
#include "ScmGenDescription.h"
#endif

namespace {

using Bytes = ScmGen::Bytes;
using SadrAndNumber = std::pair<std::uint16_t, std::uint8_t>;

/// Every (SADR, set number) a header stream delivers, in order; each 16-byte header also goes to
/// onHeader as it is read.
std::vector<SadrAndNumber> ReadEveryHeader(Param::CAdditionalParameterHeaderReader& reader,
                                           const std::function<void(const u8*)>& onHeader = {}) {
  std::vector<SadrAndNumber> read;
  reader.Open();
  u16 sadr = 0;
  u8 number = 0;
  const u8* header = nullptr;
  while (reader.TryReadNext(sadr, number, header)) {
    read.emplace_back(sadr, number);
    if (onHeader) onHeader(header);
  }
  reader.Close();
  return read;
}

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

/// The SADRs the checker's firmware-version reader delivers from the records, each checked
/// against the domain's node at its place.
std::vector<std::uint16_t> VersionSadrs(Param::CKelParaSafScmSectionParameterReader& records, const ScmGen::Domain& d) {
  Param::CParameterFirmwareVersionReader versions(records);
  std::vector<std::uint16_t> sadrs;
  EXPECT_NO_THROW({
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
  return sadrs;
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

  const std::vector<std::uint16_t> sadrs = VersionSadrs(records, d);
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
  std::vector<SadrAndNumber> inKelSets;
  ASSERT_NO_THROW(inKelSets = ReadEveryHeader(inKel));
  EXPECT_TRUE(inKelSets.empty()) << "additional sets belong in pardata1.bin";
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
  std::vector<SadrAndNumber> read;
  ASSERT_NO_THROW(read = ReadEveryHeader(reader));
  std::vector<std::pair<std::uint16_t, std::uint8_t>> expected;
  for (const auto& s : d.sets) {
    expected.emplace_back(s.sadr, s.number);
  }
  EXPECT_EQ(read, expected);
}

/// A domain of the older layout at its limits: 101 nodes (SADR 1 and 10 to 109), every one
/// auto-configured, an additional set of two nodes in the node list, 101 UDIDs in "autocnf.bin" and
/// "fwrevcnf.bin" with the three flags the older release knows.
ScmGen::Domain OlderDomain() {
  ScmGen::Domain d;
  d.layout = ScmGen::Layout::Older;
  d.scm.configuration = ScmGen::ConfigurationData{0, 0, 1, 5};
  d.autoCnf = ScmGen::AutoCnf{};
  d.fwRevCnf = ScmGen::FwRevCnf{};
  d.fwRevCnf->flags = 0x07;
  for (std::uint16_t i = 0; i < 101; ++i) {
    ScmGen::Node n;
    n.sadr = static_cast<std::uint16_t>(i == 0 ? 1 : 9 + i);
    n.udid = {0x02, 0x5C, 0x3E, 0xA0, static_cast<std::uint8_t>(n.sadr >> 8), static_cast<std::uint8_t>(n.sadr)};
    n.vendorId = 0x0025C3E0;
    n.productCode = 0x1000u + n.sadr;
    n.revision = 0x00010001u + i;
    n.parameterSet = Bytes(24, static_cast<std::uint8_t>(i));
    n.checksum = Bytes(4, static_cast<std::uint8_t>(0xA0 + i));
    n.optional = i == 1;
    n.notProcessed = i == 2;
    n.autoConfigured = true;
    d.nodes.push_back(n);
    d.autoCnf->udids.push_back({n.sadr, n.udid});
    d.fwRevCnf->entries.push_back({n.sadr, static_cast<std::uint16_t>(n.revision)});
  }
  d.sets.push_back({10, 1, Bytes(24, 0x11), 7, {}});
  d.sets.push_back({109, 15, Bytes(16, 0x22), 8, {}});
  return d;
}

TEST(CheckerReadsOlderLayoutFiles, EveryReaderTakesWhatTheGeneratorWrites) {
  const ScmGen::Domain d = OlderDomain();
  const ScmGen::Result r = ScmGen::Generate(d);
  ASSERT_EQ(r.error, "");
  EXPECT_FALSE(r.files.parData1.has_value());
  // "kel_para.saf": 101 node objects up to 0xC464, no commissioning settings, the sets as headers of the node list
  Bytes kelBuffer = r.files.kelParaSaf;
  Param::CKelParaSaf kel(262144, kelBuffer.data());
  ASSERT_NO_THROW(kel.ReadContent(static_cast<u32>(kelBuffer.size())));
  Param::CKelParaSafScmSectionParameterReader records(kel);
  EXPECT_EQ(VersionSadrs(records, d).size(), 101u);
  Param::CParameterCommissioningFlagReader commissioning(records);
  ASSERT_NO_THROW({
    commissioning.Open();
    bool setup = false;
    bool corvane = false;
    bool firmware = false;
    EXPECT_FALSE(commissioning.TryReadNext(setup, corvane, firmware));
    commissioning.Close();
  });
  Param::CParameterAdditionalParameterHeaderReader headers(records);
  std::vector<SadrAndNumber> sets;
  std::size_t seen = 0;
  ASSERT_NO_THROW(sets = ReadEveryHeader(headers, [&d, &seen](const u8* header) {
                    const ScmGen::AdditionalSet& s = d.sets.at(seen++);
                    const Bytes entry = ScmGen::ParData1Entry(s.number, s.sadr, s.payload, s.timestamp);
                    EXPECT_EQ(Bytes(header, header + 16), Bytes(entry.begin(), entry.begin() + 16));
                  }));
  EXPECT_EQ(sets, (std::vector<std::pair<std::uint16_t, std::uint8_t>>{{10, 1}, {109, 15}}));
  // "corvane.dat": every node's UDID
  Bytes datBuffer = r.files.corvaneDat;
  Param::CCorvaneDat corvane(65536, datBuffer.data());
  ASSERT_NO_THROW(corvane.ReadContent(static_cast<u32>(datBuffer.size())));
  Param::CCorvaneDatUdidReader udids(corvane);
  std::size_t datCount = 0;
  ASSERT_NO_THROW({
    udids.Open();
    u16 sadr = 0;
    const u8* udid = nullptr;
    while (udids.TryReadNext(sadr, udid)) ++datCount;
    udids.Close();
  });
  EXPECT_EQ(datCount, 101u);
  // "autocnf.bin": its UDID list of 101
  ASSERT_TRUE(r.files.autoCnf.has_value());
  ASSERT_EQ(d.autoCnf->udids.size(), 101u);
  Param::CAutoCnfBin autoCnf(65536, r.files.autoCnf->data());
  ASSERT_NO_THROW(autoCnf.ReadContent(static_cast<u32>(r.files.autoCnf->size())));
  Param::CAutoCnfBinUdidSectionUdidReader listed(autoCnf);
  std::vector<std::uint16_t> autoSadrs;
  ASSERT_NO_THROW({
    listed.Open();
    u16 sadr = 0;
    const u8* udid = nullptr;
    while (listed.TryReadNext(sadr, udid)) autoSadrs.push_back(sadr);
    listed.Close();
  });
  ASSERT_EQ(autoSadrs.size(), 101u);
  for (std::size_t i = 0; i < autoSadrs.size(); ++i) EXPECT_EQ(autoSadrs[i], d.autoCnf->udids[i].sadr);
  // "fwrevcnf.bin": the older build's flag set takes flags 0x07 and the 101 revisions
  ASSERT_TRUE(r.files.fwRevCnf.has_value());
  Bytes fwBuffer = *r.files.fwRevCnf;
  Param::CFwRevCnfBin fwRevCnf(65536, fwBuffer.data(), Param::CFwRevCnfBin::ms_FlagsWithoutCommissioning);
  ASSERT_NO_THROW(fwRevCnf.ReadContent(static_cast<u32>(fwBuffer.size())));
  EXPECT_TRUE(fwRevCnf.HasCpuId() && fwRevCnf.HasQorUdid() && fwRevCnf.HasPassword());
  Param::CFwRevCnfBinMinorRevisionReader revisions(fwRevCnf);
  std::size_t revisionCount = 0;
  ASSERT_NO_THROW({
    revisions.Open();
    u16 sadr = 0;
    u16 minor = 0;
    while (revisions.TryReadNext(sadr, minor)) {
      EXPECT_EQ(minor, static_cast<u16>(d.nodes.at(revisionCount).revision));
      ++revisionCount;
    }
    revisions.Close();
  });
  EXPECT_EQ(revisionCount, 101u);
}

INSTANTIATE_TEST_SUITE_P(Domains, CheckerReadsGeneratedFiles, ::testing::ValuesIn(Domains()),
                         [](const auto& info) {
                           std::string name = info.param.first;
                           std::replace(name.begin(), name.end(), ' ', '_');
                           return name;
                         });

}  // namespace
