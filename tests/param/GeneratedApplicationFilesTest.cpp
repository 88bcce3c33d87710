// The application's files as the sample-file generator writes them from a
// domain: the checker's readers accept every one and deliver what the domain
// described; a domain whose application files one side would refuse is
// refused, naming the field, and nothing is written.
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "CAutoCnfBin.h"
#include "CAutoCnfBinUdidSectionUdidReader.h"
#include "CCorvaneUid.h"
#include "CFwRevCnfBin.h"
#include "CFwRevCnfBinMinorRevisionReader.h"
#include "ParamTestSupport.h"
#include "ScmGen.h"
#include "ScmGenBuild.h"

namespace {

using namespace ParamTest;
namespace fs = std::filesystem;

ScmGen::Udid MakeUdid(u8 seed) { return {0x02, 0x5C, 0x3E, seed, 5, static_cast<u8>(seed ^ 0x5A)}; }

/// One node, enough for the parameter files beside the application's.
ScmGen::Domain BaseDomain() {
  ScmGen::Domain d;
  ScmGen::Node n;
  n.sadr = 1;
  n.udid = MakeUdid(1);
  n.checksum = Bytes(4, 0xA1);
  d.nodes.push_back(n);
  return d;
}

/// Twelve auto-configured nodes with their UDIDs (one all zero), machine options and
/// three flag arrays that mark SADRs of the node list; every feature flag.
ScmGen::Domain Typical() {
  ScmGen::Domain d = BaseDomain();
  d.nodes[0].autoConfigured = true;
  d.scm.configuration = ScmGen::ConfigurationData{1, 1, 0, 5};  // options and start-up flags required
  ScmGen::AutoCnf a;
  a.timestamp = 0x12345678;
  for (u16 i = 0; i < 12; ++i) {
    const u16 sadr = i == 11 ? u16{1} : static_cast<u16>(1000 - 3 * i);
    if (sadr != 1) {
      ScmGen::Node n = d.nodes[0];
      n.sadr = sadr;
      n.udid = MakeUdid(static_cast<u8>(0x80 + i));
      d.nodes.push_back(n);
    }
    a.udids.push_back({sadr, i == 4 ? ScmGen::Udid{} : MakeUdid(static_cast<u8>(i))});
  }
  a.machineOptions = Bytes(64, 0x3C);
  ScmGen::ModuleFlags flags;
  flags.optional[125] = 0x01;   // SADR 1000
  flags.startup[124] = 0x20;    // SADR 997
  flags.noProcess[121] = 0x04;  // SADR 970
  a.moduleFlags = flags;
  d.autoCnf = a;
  ScmGen::FwRevCnf f;
  f.entries = {{1, 0x0102}, {7, 0}, {1023, 0xFFFF}};
  f.flags = 0x1F;
  f.qorUdid = MakeUdid(0x77);
  f.targetId = {1, 2, 3, 4, 5, 6, 7, 8};
  for (int i = 0; i < 16; ++i) f.password[i] = static_cast<u8>('a' + i);
  d.fwRevCnf = f;
  d.corvaneUid = ScmGen::CorvaneUid{MakeUdid(0x66), (1ull << 52) - 1};
  return d;
}

/// The smallest: an empty UDID section, two flag arrays, no entries, the firmware's fixed flags.
ScmGen::Domain Minimal() {
  ScmGen::Domain d = BaseDomain();
  d.scm.configuration = ScmGen::ConfigurationData{0, 1, 0, 5};  // start-up flags required
  ScmGen::AutoCnf a;
  ScmGen::ModuleFlags two;
  two.threeArrays = false;
  a.moduleFlags = two;
  d.autoCnf = a;
  d.fwRevCnf = ScmGen::FwRevCnf{};
  d.corvaneUid = ScmGen::CorvaneUid{};
  return d;
}

/// "autocnf.bin" of the old layout; one revision, the key medium was empty.
ScmGen::Domain OldLayout() {
  ScmGen::Domain d = BaseDomain();
  ScmGen::AutoCnf a;
  a.oldLayout = true;
  a.udids = {{9, MakeUdid(9)}, {2, MakeUdid(2)}};
  for (u16 sadr : {9, 2}) {
    ScmGen::Node n = d.nodes[0];
    n.sadr = sadr;
    n.autoConfigured = true;
    d.nodes.push_back(n);
  }
  d.autoCnf = a;
  ScmGen::FwRevCnf f;
  f.entries = {{5, 3}};
  f.flags = 0x0E;
  d.fwRevCnf = f;
  d.corvaneUid = ScmGen::CorvaneUid{MakeUdid(0x55), 1'700'000'000'123'456ull};
  return d;
}

class GeneratedApplicationFiles : public ::testing::TestWithParam<std::pair<const char*, ScmGen::Domain>> {
 protected:
  void SetUp() override {
    const ScmGen::Result r = ScmGen::Generate(GetParam().second);
    ASSERT_EQ(r.error, "");
    m_Files = r.files;
  }
  const ScmGen::Domain& Domain() const { return GetParam().second; }
  ScmGen::FileSet m_Files;  ///< what the generator wrote
};

TEST_P(GeneratedApplicationFiles, AutoCnfBinDeliversTheUdidsAndMachineOptions) {
  ASSERT_TRUE(m_Files.autoCnf.has_value());
  const ScmGen::AutoCnf& a = *Domain().autoCnf;
  FileBuffer buffer(*m_Files.autoCnf);
  Param::CAutoCnfBin file(buffer.Capacity(), buffer.Data());
  ASSERT_EQ(CatchRefusal([&] { file.ReadContent(buffer.Capacity()); }), std::nullopt);
  EXPECT_EQ(file.GetTimestamp(), a.timestamp);
  EXPECT_EQ(file.HasMachineOptionSection(), a.machineOptions.has_value());
  u16 length = 1;
  const u8* data = nullptr;
  file.GetRawMachineOptionSection(length, data);
  if (a.machineOptions) {
    ASSERT_EQ(length, 76);
    EXPECT_EQ(Bytes(data + 8, data + 72), *a.machineOptions);
  } else {
    EXPECT_EQ(length, 0);
  }
  std::vector<std::pair<u16, Bytes>> expected;
  for (const auto& e : a.udids) {
    if (e.udid != ScmGen::Udid{}) expected.emplace_back(e.sadr, Bytes(e.udid.begin(), e.udid.end()));
  }
  std::vector<std::pair<u16, Bytes>> read;
  Param::CAutoCnfBinUdidSectionUdidReader reader(file);
  ASSERT_EQ(CatchRefusal([&] {
              reader.Open();
              u16 sadr = 0;
              const u8* udid = nullptr;
              while (reader.TryReadNext(sadr, udid)) read.emplace_back(sadr, UdidBytes(udid));
              reader.Close();
            }),
            std::nullopt);
  EXPECT_EQ(read, expected);
}

TEST_P(GeneratedApplicationFiles, FwRevCnfBinDeliversTheAcceptedValues) {
  const ScmGen::FwRevCnf& f = *Domain().fwRevCnf;
  ASSERT_TRUE(m_Files.fwRevCnf.has_value());
  FileBuffer buffer(*m_Files.fwRevCnf);
  Param::CFwRevCnfBin file(buffer.Capacity(), buffer.Data());
  ASSERT_EQ(CatchRefusal([&] { file.ReadContent(buffer.Capacity()); }), std::nullopt);
  EXPECT_EQ(file.HasCpuId(), (f.flags & 0x01) != 0);
  EXPECT_TRUE(file.HasQorUdid());
  EXPECT_TRUE(file.HasPassword());
  EXPECT_EQ(file.WasCorvaneEmpty(), (f.flags & 0x08) != 0);
  EXPECT_EQ(file.IsSetupModeActive(), (f.flags & 0x10) != 0);
  EXPECT_EQ(UdidBytes(file.GetQorUdid()), Bytes(f.qorUdid.begin(), f.qorUdid.end()));
  EXPECT_EQ(Bytes(file.GetCpuId(), file.GetCpuId() + 8), Bytes(f.targetId.begin(), f.targetId.end()));
  EXPECT_EQ(Bytes(file.GetPassword(), file.GetPassword() + 16), Bytes(f.password.begin(), f.password.end()));
  std::vector<std::pair<u16, u16>> expected;
  for (const auto& e : f.entries) {
    if (e.revision != 0) expected.emplace_back(e.sadr, e.revision);
  }
  std::vector<std::pair<u16, u16>> read;
  Param::CFwRevCnfBinMinorRevisionReader reader(file);
  reader.Open();
  u16 sadr = 0;
  u16 revision = 0;
  while (reader.TryReadNext(sadr, revision)) read.emplace_back(sadr, revision);
  reader.Close();
  EXPECT_EQ(read, expected);
}

TEST_P(GeneratedApplicationFiles, CorvaneUidDeliversTheIdentity) {
  const ScmGen::CorvaneUid& c = *Domain().corvaneUid;
  ASSERT_TRUE(m_Files.corvaneUid.has_value());
  EXPECT_EQ(m_Files.corvaneUid->size(), 18u);
  FileBuffer buffer(*m_Files.corvaneUid);
  Param::CCorvaneUid file(buffer.Capacity(), buffer.Data());
  ASSERT_EQ(CatchRefusal([&] { file.ReadContent(buffer.Capacity()); }), std::nullopt);
  EXPECT_EQ(UdidBytes(file.GetQorUdid()), Bytes(c.qorUdid.begin(), c.qorUdid.end()));
  EXPECT_EQ(file.GetTimestamp(), c.time);
}

INSTANTIATE_TEST_SUITE_P(Domains, GeneratedApplicationFiles,
                         ::testing::Values(std::pair{"typical", Typical()}, std::pair{"minimal", Minimal()},
                                           std::pair{"old_layout", OldLayout()}),
                         [](const auto& info) { return std::string(info.param.first); });

/// A temporary directory of this process, removed at the end.
class TempDir {
 public:
  TempDir() : m_Path(fs::temp_directory_path() / ("scm-appfiles-" + std::to_string(getpid()))) {
    fs::create_directories(m_Path);
  }
  ~TempDir() {
    std::error_code ec;
    fs::remove_all(m_Path, ec);
  }
  const fs::path& Path() const { return m_Path; }
  bool Empty() const { return fs::is_empty(m_Path); }

 private:
  fs::path m_Path;  ///< the directory
};

TEST(GeneratedApplicationFilesWriting, EveryDescribedFileIsWrittenWithTheGeneratedBytes) {
  TempDir dir;
  const ScmGen::Domain d = Typical();
  ASSERT_EQ(ScmGen::GenerateInto(d, dir.Path()), "");
  const ScmGen::FileSet files = ScmGen::Generate(d).files;
  for (const auto& [name, bytes] : {std::pair{ScmGen::kAutoCnfName, *files.autoCnf},
                                    std::pair{ScmGen::kFwRevCnfName, *files.fwRevCnf},
                                    std::pair{ScmGen::kCorvaneUidName, *files.corvaneUid}}) {
    SCOPED_TRACE(name);
    std::ifstream in(dir.Path() / name, std::ios::binary);
    ASSERT_TRUE(in.good());
    EXPECT_EQ(Bytes(std::istreambuf_iterator<char>(in), {}), bytes);
  }
}

TEST(GeneratedApplicationFilesWriting, RefusedDomainsNameTheFieldAndWriteNothing) {
  struct Case {
    const char* name;                        ///< what the row breaks
    std::function<void(ScmGen::Domain&)> change;  ///< the change to a valid domain
    const char* field;                       ///< the field the message must name
  };
  const std::vector<Case> cases = {
      {"13 UDIDs", [](ScmGen::Domain& d) { d.autoCnf->udids.resize(13, {500, MakeUdid(1)}); }, "autocnf.udids"},
      {"SADR 0", [](ScmGen::Domain& d) { d.autoCnf->udids[0].sadr = 0; }, "autocnf.udids[0].sadr"},
      {"SADR 1024", [](ScmGen::Domain& d) { d.autoCnf->udids[1].sadr = 1024; }, "autocnf.udids[1].sadr"},
      {"duplicate UDID SADR", [](ScmGen::Domain& d) { d.autoCnf->udids[2].sadr = d.autoCnf->udids[0].sadr; },
       "autocnf.udids[2].sadr"},
      {"63 option bytes", [](ScmGen::Domain& d) { d.autoCnf->machineOptions = Bytes(63); }, "autocnf.machine_options"},
      {"129-byte flag array", [](ScmGen::Domain& d) { d.autoCnf->moduleFlags->startup = Bytes(129); },
       "autocnf.module_flags.startup"},
      {"SADR marked twice", [](ScmGen::Domain& d) { d.autoCnf->moduleFlags->startup[125] = 0x01; },
       "autocnf.module_flags: SADR 1000 is marked in more than one array"},
      {"UDID of a node that is not auto-configured", [](ScmGen::Domain& d) { d.nodes[3].autoConfigured = false; },
       "autocnf.udids[2].sadr: 994 is not an auto-configured node"},
      {"UDID of a SADR outside the node list", [](ScmGen::Domain& d) { d.nodes.pop_back(); },
       "autocnf.udids[10].sadr: 970 is not an auto-configured node"},
      {"optional mark outside the node list", [](ScmGen::Domain& d) { d.autoCnf->moduleFlags->optional[0] = 0x04; },
       "autocnf.module_flags.optional: SADR 2 is not in the node list"},
      {"no-process mark outside the node list",
       [](ScmGen::Domain& d) { d.autoCnf->moduleFlags->noProcess[127] = 0x80; },
       "autocnf.module_flags.no_process: SADR 1023 is not in the node list"},
      {"node marked optional and not processed",
       [](ScmGen::Domain& d) {
         d.nodes[2].optional = true;
         d.nodes[2].notProcessed = true;
       },
       "node(SADR 997).marks: SADR 997"},
      {"node marked required at start-up and optional",
       [](ScmGen::Domain& d) {
         d.nodes[0].requiredAtStartup = true;
         d.nodes[0].optional = true;
       },
       "node(SADR 1).marks: SADR 1"},
      {"old layout with options", [](ScmGen::Domain& d) { d.autoCnf->oldLayout = true; }, "autocnf.old_layout"},
      {"options not required", [](ScmGen::Domain& d) { d.scm.configuration->machineOptionsActive = 0; },
       "autocnf.machine_options: present"},
      {"options required but missing", [](ScmGen::Domain& d) { d.autoCnf->machineOptions.reset(); },
       "autocnf.machine_options: missing"},
      {"flags not required", [](ScmGen::Domain& d) { d.scm.configuration->startupFlagsActive = 0; },
       "autocnf.module_flags: present"},
      {"flags required but missing", [](ScmGen::Domain& d) { d.autoCnf->moduleFlags.reset(); },
       "autocnf.module_flags: missing"},
      {"no configuration", [](ScmGen::Domain& d) { d.scm.configuration.reset(); }, "autocnf.machine_options"},
      {"entries not ascending", [](ScmGen::Domain& d) { d.fwRevCnf->entries[1].sadr = 1; }, "fwrevcnf.entries[1].sadr"},
      {"entry SADR 0", [](ScmGen::Domain& d) { d.fwRevCnf->entries[0].sadr = 0; }, "fwrevcnf.entries[0].sadr"},
      {"flag 0x20", [](ScmGen::Domain& d) { d.fwRevCnf->flags = 0x26; }, "fwrevcnf.flags"},
      {"password flag clear", [](ScmGen::Domain& d) { d.fwRevCnf->flags = 0x02; }, "fwrevcnf.flags"},
      {"time of 53 bits", [](ScmGen::Domain& d) { d.corvaneUid->time = 1ull << 52; }, "corvane_uid.time"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ScmGen::Domain d = Typical();
    c.change(d);
    TempDir dir;
    const std::string error = ScmGen::GenerateInto(d, dir.Path());
    EXPECT_EQ(error.rfind(c.field, 0), 0u) << error;
    EXPECT_TRUE(dir.Empty());
  }
}

}  // namespace
