// The sample-file generator: the layout of what it writes, the domains it
// refuses (naming the field, writing nothing), and the program over
// description files.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <sstream>

#include "HNFiff_Crc.h"
#include "ParamDomain.h"
#include "ScmGenBuild.h"
#include "ScmGenDescription.h"
#include "rtp_emulator.h"

namespace ParamTest {
namespace {

namespace fs = std::filesystem;

/// A temporary directory of this process, removed at the end.
class TempDir {
 public:
  TempDir() {
    static int counter = 0;
    path_ = fs::temp_directory_path() / ("scmgen-test-" + std::to_string(getpid()) + "-" + std::to_string(counter++));
    fs::create_directories(path_);
  }
  ~TempDir() {
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  const fs::path& Path() const { return path_; }
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(path_)) {
      names.push_back(e.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

 private:
  fs::path path_;  ///< the directory
};

TEST(GeneratorFiles, KelParaSafHeaderAndAreaFollowTheFormat) {
  const auto f = Files(DemoDomain()).kelParaSaf;
  ASSERT_GT(f.size(), 64u);
  EXPECT_EQ(Get16(f, 0), 64);
  EXPECT_EQ(Get16(f, 2), 0x0200);
  EXPECT_EQ(Get32(f, 4), f.size());
  EXPECT_EQ(Get32(f, 8), 64u);
  EXPECT_EQ(Get32(f, 12), 0u);
  EXPECT_EQ(Get32(f, 16), 64u);
  EXPECT_EQ(Get32(f, 20), 0u);
  EXPECT_EQ(Get32(f, 24), 0u);
  EXPECT_EQ(Get32(f, 28), 64u);
  const std::uint32_t len = Get32(f, 32);
  EXPECT_EQ(Get32(f, 36), 64 + len);
  EXPECT_EQ(Get32(f, 40), (len + 16383) / 16384);
  EXPECT_EQ(Get32(f, 44), 257u);
  EXPECT_TRUE(std::all_of(f.begin() + 48, f.begin() + 62, [](std::uint8_t b) { return b == 0; }));
  EXPECT_EQ(Get16(f, 62), HNFiff_Crc16_755B_CalcSwp(0, 62, f.data()));
  EXPECT_EQ(f.size(), 64 + len + 4 * Get32(f, 40));
  // Records back to back, ending exactly with the area; none of the firmware's own objects.
  std::size_t at = 64;
  while (at < 64 + len) {
    ASSERT_LE(at + 7, 64 + len);
    const std::uint16_t index = Get16(f, at);
    const std::uint8_t sub = f[at + 2];
    const std::uint32_t n = Get32(f, at + 3);
    EXPECT_NE(sub, 0) << std::hex << index;
    EXPECT_FALSE(index == 0x1018 || index == 0x1019 || (index == 0x1200 && sub != 3)) << std::hex << index;
    EXPECT_FALSE(index >= 0xE400 && index <= 0xE7FE);
    at += 7 + n;
  }
  EXPECT_EQ(at, 64 + len);
}

TEST(GeneratorFiles, CorvaneDatHoldsEverySadrInOrder) {
  const auto d = DemoDomain();
  const auto f = Files(d).corvaneDat;
  EXPECT_EQ(Get16(f, 0), 64);
  EXPECT_EQ(Get16(f, 2), 2);
  EXPECT_EQ(f.size(), 13367u);
  EXPECT_EQ(Get32(f, 12), 1023u * 13);
  EXPECT_TRUE(std::all_of(f.begin() + 24, f.begin() + 62, [](std::uint8_t b) { return b == 0; }));
  for (std::uint16_t sadr = 1; sadr <= 1023; ++sadr) {
    const std::size_t at = 64 + 13u * (sadr - 1);
    ASSERT_EQ(Get16(f, at), 0xCC00 + sadr);
    ASSERT_EQ(f[at + 2], 1);
    ASSERT_EQ(Get32(f, at + 3), 6u);
  }
  const std::size_t node3 = 64 + 13u * (d.nodes[3].sadr - 1) + 7;
  EXPECT_EQ(Bytes(f.begin() + node3, f.begin() + node3 + 6), Bytes(d.nodes[3].udid.begin(), d.nodes[3].udid.end()));
}

TEST(GeneratorFiles, ParData1IsWrittenOnlyWithSets) {
  auto d = DemoDomain();
  const auto f = *Files(d).parData1;
  EXPECT_EQ(Get16(f, 0), d.sets.size());
  EXPECT_EQ(Get16(f, 2), 64);
  EXPECT_EQ(Get16(f, 4), 0x0100);
  EXPECT_EQ(Get16(f, 6), 64);
  EXPECT_EQ(Get32(f, 16), 64u);
  EXPECT_EQ(Get32(f, 24), 64 + Get32(f, 12));
  EXPECT_TRUE(std::all_of(f.begin() + 28, f.begin() + 60, [](std::uint8_t b) { return b == 0; }));
  EXPECT_EQ(Get32(f, 60), HNFiff_Crc32CalcSwp(0, 60, f.data()));
  const auto& s = d.sets[0];
  EXPECT_EQ(f[64], s.number);
  EXPECT_EQ(f[65], 1);
  EXPECT_EQ(Get16(f, 66), s.sadr);
  EXPECT_EQ(Get32(f, 68), s.payload.size());
  EXPECT_EQ(Get32(f, 72), HNFiff_Crc32CalcSwp(0, static_cast<int>(s.payload.size()), s.payload.data()));
  EXPECT_EQ(Get32(f, 76), s.timestamp);
  d.sets.clear();
  EXPECT_FALSE(Files(d).parData1.has_value());
}

/// The demo domain in the older layout: 101 nodes (the demo's twelve, then SADR 100 to 188),
/// no commissioning settings, module marks on four nodes.
ScmGen::Domain OlderDomain() {
  ScmGen::Domain d = DemoDomain();
  d.layout = ScmGen::Layout::Older;
  d.scm.commissioning.reset();
  for (std::uint16_t sadr = 100; d.nodes.size() < 101; ++sadr) {
    ScmGen::Node n = d.nodes[2];
    n.sadr = sadr;
    n.udid[5] = static_cast<std::uint8_t>(sadr);
    d.nodes.push_back(n);
  }
  d.nodes[0].optional = true;
  d.nodes[1].requiredAtStartup = true;
  d.nodes[2].notProcessed = true;
  d.nodes[100].autoConfigured = true;
  return d;
}

struct RefusalRow {
  const char* name;                                ///< the fault
  std::function<void(ScmGen::Domain&)> mutate;     ///< makes the demo domain invalid
  const char* field;                               ///< the message begins with this field
};

void PrintTo(const RefusalRow& row, std::ostream* os) { *os << row.name; }

class GeneratorRefuses : public ::testing::TestWithParam<RefusalRow> {};

TEST_P(GeneratorRefuses, NamesTheFieldAndWritesNothing) {
  auto d = DemoDomain();
  GetParam().mutate(d);
  TempDir dir;
  const std::string error = ScmGen::GenerateInto(d, dir.Path());
  EXPECT_EQ(error.rfind(GetParam().field, 0), 0u) << error;
  EXPECT_TRUE(dir.Names().empty());
}

const RefusalRow kRefusals[] = {
    {"duplicate SADR", [](ScmGen::Domain& d) { d.nodes[3].sadr = d.nodes[1].sadr; }, "node(SADR 11).sadr: duplicate SADR 11"},
    {"SADR of the SCM", [](ScmGen::Domain& d) { d.nodes[2].sadr = 1023; }, "node(SADR 1023).sadr"},
    {"no node", [](ScmGen::Domain& d) { d.nodes.clear(); d.sets.clear(); }, "node:"},
    {"too many nodes", [](ScmGen::Domain& d) { d.nodes.push_back(d.nodes.back()); d.nodes.back().sadr = 900; },
     "node:"},
    {"checksum of 6 bytes", [](ScmGen::Domain& d) { d.nodes[4].checksum = Bytes(6, 1); }, "node(SADR 14).checksum"},
    {"checksum of 260 bytes", [](ScmGen::Domain& d) { d.nodes[4].checksum = Bytes(260, 1); }, "node(SADR 14).checksum"},
    {"SSDO payload of 129", [](ScmGen::Domain& d) { d.nodes[0].ssdoPayloadLength = 129; }, "node(SADR 1).payload_length: 129 is outside 8 to 128 bytes"},
    {"set for a SADR outside the node list", [](ScmGen::Domain& d) { d.sets[1].sadr = 600; }, "set[1].sadr"},
    {"set for SADR 1", [](ScmGen::Domain& d) { d.sets[0].sadr = 1; }, "set[0].sadr"},
    {"set number 0", [](ScmGen::Domain& d) { d.sets[0].number = 0; }, "set[0].number"},
    {"set given twice", [](ScmGen::Domain& d) { d.sets[1] = d.sets[0]; }, "set[1].number"},
    {"additional SADR of a node", [](ScmGen::Domain& d) { d.nodes[0].additionalSadrs = {d.nodes[5].sadr}; },
     "node(SADR 1).additional_sadrs"},
    {"guard time", [](ScmGen::Domain& d) { d.scm.guardTime = 59999; }, "guarding.time_us"},
    {"time base", [](ScmGen::Domain& d) { d.scm.timeBase = 4; }, "scm.time_base"},
    {"machine option 33", [](ScmGen::Domain& d) { d.scm.machineOptions.push_back({33, 1}); }, "scm.machine_options"},
    {"too large for the safe space",
     [](ScmGen::Domain& d) {
       for (auto& n : d.nodes) {
         n.parameterSet = Bytes(17000, 1);
       }
     },
     "node:"},
    {"pardata1.bin above 196608 bytes",
     [](ScmGen::Domain& d) {
       for (std::uint8_t k = 3; k < 5; ++k) {
         d.sets.push_back({d.nodes[k].sadr, 1, Bytes(100000, 2), 0, {}});
       }
     },
     "additional_sets:"},
};
INSTANTIATE_TEST_SUITE_P(Table, GeneratorRefuses, ::testing::ValuesIn(kRefusals));

// The older layout's own refusals, each on the older demo domain, which it accepts as it stands.
class OlderGeneratorRefuses : public ::testing::TestWithParam<RefusalRow> {};

TEST_P(OlderGeneratorRefuses, NamesTheFieldAndWritesNothing) {
  auto d = OlderDomain();
  ASSERT_EQ(ScmGen::Validate(d), "");
  GetParam().mutate(d);
  TempDir dir;
  const std::string error = ScmGen::GenerateInto(d, dir.Path());
  EXPECT_EQ(error.rfind(GetParam().field, 0), 0u) << error;
  EXPECT_TRUE(dir.Names().empty());
}

const RefusalRow kOlderRefusals[] = {
    {"102 nodes", [](ScmGen::Domain& d) { d.nodes.push_back(d.nodes.back()); d.nodes.back().sadr = 900; },
     "node: 102 nodes, must be 1 to 101"},
    {"commissioning settings",
     [](ScmGen::Domain& d) { d.scm.commissioning = std::array<std::uint32_t, 3>{1, 0, 1}; },
     "scm.commissioning: the older release has no commissioning settings (0x210B)"},
    {"fwrevcnf.bin flag 0x08",
     [](ScmGen::Domain& d) {
       d.fwRevCnf = ScmGen::FwRevCnf{};
       d.fwRevCnf->flags = 0x0E;
     },
     "fwrevcnf.flags: 0xe must hold 0x06 and no bit above 0x4 (the older release has no 0x08 and 0x10)"},
    {"fwrevcnf.bin flag 0x10",
     [](ScmGen::Domain& d) {
       d.fwRevCnf = ScmGen::FwRevCnf{};
       d.fwRevCnf->flags = 0x17;
     },
     "fwrevcnf.flags: 0x17 must hold 0x06"},
    {"autocnf.bin of 102 UDIDs",
     [](ScmGen::Domain& d) {
       d.autoCnf = ScmGen::AutoCnf{};
       for (std::uint16_t i = 0; i < 102; ++i) d.autoCnf->udids.push_back({static_cast<std::uint16_t>(i + 1), {}});
     },
     "autocnf.udids: 102 entries, at most 101"},
};
INSTANTIATE_TEST_SUITE_P(Table, OlderGeneratorRefuses, ::testing::ValuesIn(kOlderRefusals));

/// One record of a parameter area.
struct Record {
  std::uint16_t index;  ///< object
  std::uint8_t sub;     ///< sub-index
  Bytes data;           ///< its bytes
};

/// The records of "kel_para.saf"'s parameter area, in file order.
std::vector<Record> KelRecords(const Bytes& f) {
  std::vector<Record> records;
  const std::size_t end = 64 + Get32(f, 32);
  for (std::size_t at = 64; at + 7 <= end;) {
    const std::uint32_t n = Get32(f, at + 3);
    records.push_back({Get16(f, at), f[at + 2], Bytes(f.begin() + at + 7, f.begin() + at + 7 + n)});
    at += 7 + n;
  }
  return records;
}

TEST(GeneratorFiles, TheOlderLayoutHasItsNodeObjectsMarkArraysAndSetsInTheNodeList) {
  const ScmGen::Domain d = OlderDomain();
  const ScmGen::FileSet files = Files(d);
  EXPECT_FALSE(files.parData1.has_value()) << "no pardata1.bin, though the domain has sets";
  std::map<std::uint16_t, std::uint16_t> nodeSadrs;  // node object: its SADR (sub-index 1)
  std::map<std::uint8_t, Bytes> marks;               // 0xD000 sub-index: its array
  std::vector<const Record*> sets;
  const std::vector<Record> records = KelRecords(files.kelParaSaf);
  for (const Record& r : records) {
    EXPECT_NE(r.index, 0x210B) << "no commissioning settings";
    EXPECT_FALSE(r.index == 0x2106 && (r.sub <= 3 || r.sub == 8)) << "the marks moved to 0xD000";
    if (r.index >= 0xC400 && r.index <= 0xC7FF && r.sub == 1) nodeSadrs[r.index] = Get16(r.data, 0);
    if (r.index == 0xD000) marks[r.sub] = r.data;
    if (r.index > 0xE3FF && r.index <= 0xE7FE) sets.push_back(&r);
  }
  ASSERT_EQ(nodeSadrs.size(), 101u);
  EXPECT_EQ(nodeSadrs.begin()->first, 0xC400);
  EXPECT_EQ(nodeSadrs.rbegin()->first, 0xC464);
  EXPECT_EQ(nodeSadrs.rbegin()->second, d.nodes[100].sadr);
  // 0xD000/1 to /4: optional, required at start-up, not processed, auto-configured
  ASSERT_EQ(marks.size(), 4u);
  const std::uint16_t marked[4] = {d.nodes[0].sadr, d.nodes[1].sadr, d.nodes[2].sadr, d.nodes[100].sadr};
  for (std::uint8_t sub = 1; sub <= 4; ++sub) {
    ASSERT_EQ(marks[sub].size(), 128u);
    const std::uint16_t sadr = marked[sub - 1];
    EXPECT_EQ(marks[sub][sadr / 8], 1u << (sadr % 8)) << int(sub);
    EXPECT_EQ(std::count(marks[sub].begin(), marks[sub].end(), 0), 127) << int(sub);
  }
  // Each set as object 0xE3FF + SADR, sub-index number + 1: the entry header and the payload.
  ASSERT_EQ(sets.size(), d.sets.size());
  for (std::size_t i = 0; i < sets.size(); ++i) {
    const ScmGen::AdditionalSet& s = d.sets[i];
    EXPECT_EQ(sets[i]->index, 0xE3FF + s.sadr);
    EXPECT_EQ(sets[i]->sub, s.number + 1);
    EXPECT_EQ(sets[i]->data, ScmGen::ParData1Entry(s.number, s.sadr, s.payload, s.timestamp));
  }
  // The same domain in the current layout: twelve nodes at most, marks at 0x2106, the sets in pardata1.bin.
  ScmGen::Domain current = d;
  current.layout = ScmGen::Layout::Current;
  EXPECT_EQ(ScmGen::Validate(current), "node: 101 nodes, must be 1 to 12");
  current.nodes.resize(12);
  const ScmGen::FileSet currentFiles = Files(current);
  EXPECT_TRUE(currentFiles.parData1.has_value());
  bool currentMarks = false;
  for (const Record& r : KelRecords(currentFiles.kelParaSaf)) {
    EXPECT_NE(r.index, 0xD000);
    currentMarks = currentMarks || (r.index == 0x2106 && r.sub == 8);
  }
  EXPECT_TRUE(currentMarks);
}

TEST(GeneratorFiles, TheOlderLayoutTakesAutoCnfListsOf101AndFlagsUpTo0x07) {
  ScmGen::Domain d = OlderDomain();
  d.autoCnf = ScmGen::AutoCnf{};
  for (std::size_t i = 0; i < 101; ++i) {
    d.nodes[i].autoConfigured = true;
    d.nodes[i].optional = d.nodes[i].requiredAtStartup = d.nodes[i].notProcessed = false;
    d.autoCnf->udids.push_back({d.nodes[i].sadr, d.nodes[i].udid});
  }
  d.autoCnf->machineOptions = Bytes(64, 0);
  d.fwRevCnf = ScmGen::FwRevCnf{};
  d.fwRevCnf->flags = 0x07;
  const ScmGen::FileSet files = Files(d);
  ASSERT_TRUE(files.autoCnf.has_value());
  ASSERT_TRUE(files.fwRevCnf.has_value());
  // the UDID section: count 101, 8-byte entries
  EXPECT_EQ(Get16(*files.autoCnf, 64), 101u);
  EXPECT_EQ(ScmGen::AutoCnfBin(*d.autoCnf), *files.autoCnf);
}

TEST(GeneratorWrite, AValidDomainReplacesEveryFileAndAStaleSetFileGoes) {
  TempDir dir;
  std::ofstream(dir.Path() / "pardata1.bin") << "stale";
  auto d = DemoDomain();
  d.sets.clear();
  ASSERT_EQ(ScmGen::GenerateInto(d, dir.Path()), "");
  EXPECT_EQ(dir.Names(), (std::vector<std::string>{"corvane.dat", "kel_para.saf"}));
  ASSERT_EQ(ScmGen::GenerateInto(DemoDomain(), dir.Path()), "");
  EXPECT_EQ(dir.Names(), (std::vector<std::string>{"corvane.dat", "kel_para.saf", "pardata1.bin"}));
}

/// Runs scmgen; its exit status and what it wrote to stderr.
std::pair<int, std::string> RunScmgen(const fs::path& description, const fs::path& out,
                                     const std::string& option = "") {
  const fs::path err = out.parent_path() / (out.filename().string() + ".err");
  std::string cmd;
  for (const std::string& word : ScmSimProgramCommand(SCMGEN_PATH)) cmd += word + " ";  // emulated in a cross build
  cmd += option + " '" + description.string() + "' '" + out.string() + "' 2>'" + err.string() + "'";
  const int status = std::system(cmd.c_str());
  std::ifstream in(err);
  std::stringstream text;
  text << in.rdbuf();
  std::error_code ec;
  fs::remove(err, ec);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, text.str()};
}

/// A description of count nodes at SADR 1..count, with extra lines per node.
std::string Description(int count, const std::function<std::string(int)>& extra = {}) {
  std::ostringstream o;
  o << "sdn = 7\nqor_udid = \"02-5C-3E-10-20-30\"\n";
  for (int i = 1; i <= count; ++i) {
    o << "\n[[node]]\nsadr = " << i << "\n" << (extra ? extra(i) : "");
  }
  return o.str();
}

struct ProgramRow {
  const char* name;         ///< the fault
  std::string description;  ///< the description text
  const char* field;        ///< the message names this field
};

void PrintTo(const ProgramRow& row, std::ostream* os) { *os << row.name; }

std::string Hex(std::size_t n, std::uint8_t value) {
  std::string s;
  char b[4];
  for (std::size_t i = 0; i < n; ++i) {
    std::snprintf(b, sizeof b, "%02X ", value);
    s += b;
  }
  return s;
}

class ScmgenRefuses : public ::testing::TestWithParam<ProgramRow> {};

TEST_P(ScmgenRefuses, WithAMessageAndNoFile) {
  TempDir dir;
  const fs::path description = dir.Path() / "domain.toml";
  std::ofstream(description) << GetParam().description;
  const fs::path out = dir.Path() / "out";
  fs::create_directories(out);
  const auto [rc, err] = RunScmgen(description, out);
  EXPECT_EQ(rc, 1);
  EXPECT_NE(err.find(GetParam().field), std::string::npos) << err;
  EXPECT_TRUE(fs::is_empty(out));
}

const ProgramRow kProgramRows[] = {
    {"duplicate SADR", Description(3) + "\n[[node]]\nsadr = 2\n", "node(SADR 2).sadr: 2 is also the SADR of an earlier node"},
    {"too many nodes", Description(13), "node:"},
    {"bad checksum length", Description(3, [](int i) { return i == 2 ? "checksum = \"01 02 03\"\n" : ""; }),
     "node(SADR 2).checksum"},
    {"set for a SADR outside the node list",
     Description(2, [](int i) { return i == 1 ? "additional_sets = [\"" + Hex(16, 1) + "\"]\n" : std::string(); }),
     "node(SADR 1).additional_sets[0].sadr"},
    {"too large for the safe space",
     Description(12,
                 [](int i) {
                   return i == 1 ? std::string()
                                 : "additional_sets = [\"" + Hex(4096, 3) + "\", \"" + Hex(4096, 4) + "\", \"" +
                                       Hex(4096, 5) + "\", \"" + Hex(4096, 6) + "\", \"" + Hex(4096, 7) + "\"]\n";
                 }),
     "additional_sets:"},
};
INSTANTIATE_TEST_SUITE_P(Table, ScmgenRefuses, ::testing::ValuesIn(kProgramRows));

const ProgramRow kOlderProgramRows[] = {
    {"102 nodes of the older release", "release = \"older\"\n" + Description(102), "node: 102 nodes"},
    {"commissioning settings in the older release",
     "release = \"older\"\n" + Description(2) + "[scm]\ncommissioning = [1, 0, 1]\n", "scm.commissioning"},
};
INSTANTIATE_TEST_SUITE_P(Older, ScmgenRefuses, ::testing::ValuesIn(kOlderProgramRows));

TEST(Scmgen, AnOlderDescriptionOf101NodesIsWrittenWithoutParData) {
  TempDir dir;
  const fs::path description = dir.Path() / "older.toml";
  std::ofstream(description) << "release = \"older\"\n"
                             << Description(101, [](int i) {
                                  return i == 101 ? "additional_sets = [\"" + Hex(16, 1) + "\"]\n" : std::string();
                                });
  const fs::path out = dir.Path() / "out";
  const auto [rc, err] = RunScmgen(description, out, "--installed");
  EXPECT_EQ(rc, 0) << err;
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(out)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"autocnf.bin", "corvane.dat", "corvane.dat.chk", "corvane.uid",
                                             "corvane.uid.chk", "fwrevcnf.bin", "fwrevcnf.bin.chk", "kel_para.saf"}));
}

TEST(Scmgen, WritesTheDemoDescriptionsFiles) {
  TempDir dir;
  const auto [rc, err] = RunScmgen(SCM_GEN_DEMO_DESCRIPTION, dir.Path());
  EXPECT_EQ(rc, 0) << err;
  EXPECT_EQ(dir.Names(), (std::vector<std::string>{"corvane.dat", "kel_para.saf", "pardata1.bin"}));
}

TEST(Scmgen, InstalledAlsoWritesTheKeyMediumIdentityAndTheCheckersCopies) {
  TempDir dir;
  const auto [rc, err] = RunScmgen(SCM_GEN_DEMO_DESCRIPTION, dir.Path(), "--installed");
  EXPECT_EQ(rc, 0) << err;
  EXPECT_EQ(dir.Names(),
            (std::vector<std::string>{"autocnf.bin", "corvane.dat", "corvane.dat.chk", "corvane.uid", "corvane.uid.chk",
                                      "fwrevcnf.bin", "fwrevcnf.bin.chk", "kel_para.saf", "pardata1.bin"}));
  const ScmGen::DescriptionResult demo = ScmGen::LoadDescription(SCM_GEN_DEMO_DESCRIPTION);
  ASSERT_EQ(demo.error, "");
  // Every node's firmware is acknowledged too: "fwrevcnf.bin" lists each node's minor revision.
  const ScmGen::Domain acknowledged =
      ScmGen::WithAcknowledgedFirmware(demo.domain, {0x02, 0x5C, 0x3E, 0x10, 0x20, 0x30});
  ASSERT_TRUE(acknowledged.fwRevCnf);
  ASSERT_EQ(acknowledged.fwRevCnf->entries.size(), demo.domain.nodes.size());
  for (std::size_t i = 0; i < demo.domain.nodes.size(); ++i) {
    EXPECT_EQ(acknowledged.fwRevCnf->entries[i].sadr, demo.domain.nodes[i].sadr);
    EXPECT_EQ(acknowledged.fwRevCnf->entries[i].revision, demo.domain.nodes[i].revision & 0xFFFFu);
    EXPECT_NE(acknowledged.fwRevCnf->entries[i].revision, 0u);
  }
  const ScmGen::InstalledState installed = ScmGen::Install(acknowledged, {0x02, 0x5C, 0x3E, 0x10, 0x20, 0x30});
  auto read = [&dir](const char* name) {
    std::ifstream in(dir.Path() / name, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  };
  EXPECT_EQ(read("corvane.uid"), installed.corvaneUid);
  EXPECT_EQ(read("autocnf.bin"), Bytes{}) << "installed always, empty unless described";
  EXPECT_EQ(installed.fwRevCnf, *ScmGen::Generate(acknowledged).files.fwRevCnf);
  EXPECT_EQ(acknowledged.fwRevCnf->flags, 0x07) << "the host's target id is accepted too";
  EXPECT_EQ(acknowledged.fwRevCnf->targetId, ScmGen::kHostTargetId);
  EXPECT_EQ(read("corvane.uid.chk"), installed.corvaneUidChk);
  EXPECT_EQ(read("corvane.dat.chk"), installed.corvaneDatChk);
  ASSERT_TRUE(installed.fwRevCnfChk);
  EXPECT_EQ(read("fwrevcnf.bin.chk"), *installed.fwRevCnfChk);
  EXPECT_EQ(read("fwrevcnf.bin"), *ScmGen::Generate(acknowledged).files.fwRevCnf);
  EXPECT_EQ(installed.flash, installed.corvaneUid);
  // The copy holds the complement of the UDID and of the whole creation time.
  ASSERT_EQ(installed.corvaneUidChk.size(), 18u);
  for (std::size_t i = 4; i < 18; ++i) {
    EXPECT_EQ(installed.corvaneUidChk[i], static_cast<std::uint8_t>(~installed.corvaneUid[i])) << i;
  }
}

}  // namespace
}  // namespace ParamTest

namespace ParamTest {
namespace {

/// A description using every field the generator adds to the domain description.
constexpr const char* kFullDescription = R"(sdn = 9
qor_udid = "02-5C-3E-10-20-30"
[guarding]
time_us = 125000000
life_factor = 4
[scm]
time_base = 3
ssdo_timeout = 1234
ssdo_retries = 2
snmt_timeout = 5678
snmt_retries = 3
machine_options = [[2, 1], [31, 0]]
commissioning = [1, 1, 0]
configuration = [1, 1, 0, 7]
[[node]]
sadr = 1
auto_configured = true
[[node]]
sadr = 6
not_processed = true
flags = 0x80000002
poll_time = 4321
additional_sadrs = [40, 41]
additional_sets = ["01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F 10", "11 12 13 14 15 16 17 18 19 1A 1B 1C 1D 1E 1F 20"]
additional_set_timestamps = [0x11112222]
)";

TEST(GeneratorDescription, GuardTimeIsWrittenInCtTicksOfTheTimeBaseRoundedUp) {
  // microseconds as described, CT ticks of 0x100C/1 as the firmware counts them
  const struct {
    const char* guarding;  ///< the description's guarding and time base
    std::uint32_t ticks;   ///< 0x100C/1 as generated
  } cases[] = {{"time_us = 62500\n[scm]\ntime_base = 0", 60000},
               {"time_us = 625000\n[scm]\ntime_base = 1", 60000},
               {"time_us = 625001\n[scm]\ntime_base = 1", 60001},
               {"time_us = 6250000\n[scm]\ntime_base = 2", 60000},
               {"time_us = 62500000\n[scm]\ntime_base = 3", 60000}};
  for (const auto& c : cases) {
    const SimDomain::LoadResult loaded =
        SimDomain::ParseDomain(std::string("[guarding]\n") + c.guarding + "\n[[node]]\nsadr = 1\n");
    ASSERT_TRUE(loaded.domain.has_value()) << loaded.error;
    EXPECT_EQ(ScmGen::FromDescription(*loaded.domain).scm.guardTime, c.ticks) << c.guarding;
  }
}

TEST(GeneratorDescription, EveryAddedFieldReachesTheGenerator) {
  const SimDomain::LoadResult loaded = SimDomain::ParseDomain(kFullDescription);
  ASSERT_TRUE(loaded.domain.has_value()) << loaded.error;
  const ScmGen::Domain d = ScmGen::FromDescription(*loaded.domain);
  EXPECT_EQ(d.scm.guardTime, 120000u);
  EXPECT_EQ(d.scm.lifeTimeFactor, 4);
  EXPECT_EQ(d.scm.timeBase, 3);
  EXPECT_EQ(d.scm.ssdoTimeout, 1234u);
  EXPECT_EQ(d.scm.ssdoRetries, 2);
  EXPECT_EQ(d.scm.snmtTimeout, 5678u);
  EXPECT_EQ(d.scm.snmtRetries, 3);
  ASSERT_EQ(d.scm.machineOptions.size(), 2u);
  EXPECT_EQ(d.scm.machineOptions[1].number, 31);
  EXPECT_EQ(d.scm.commissioning, (std::array<std::uint32_t, 3>{1, 1, 0}));
  ASSERT_TRUE(d.scm.configuration.has_value());
  EXPECT_EQ(d.scm.configuration->scansAtStartup, 7u);
  EXPECT_EQ(d.nodes[1].flags, 0x80000002u);
  EXPECT_EQ(d.nodes[1].pollTime, 4321u);
  EXPECT_EQ(d.nodes[1].additionalSadrs, (std::vector<std::uint16_t>{40, 41}));
  EXPECT_TRUE(d.nodes[0].autoConfigured);
  EXPECT_FALSE(d.nodes[0].notProcessed);
  EXPECT_TRUE(d.nodes[1].notProcessed);
  EXPECT_FALSE(d.nodes[1].optional || d.nodes[1].requiredAtStartup || d.nodes[1].autoConfigured);
  ASSERT_EQ(d.sets.size(), 2u);
  EXPECT_EQ(d.sets[0].sadr, 6);
  EXPECT_EQ(d.sets[1].number, 2);
  EXPECT_EQ(d.sets[0].timestamp, 0x11112222u);
  EXPECT_EQ(d.sets[1].timestamp, 0u);
  EXPECT_EQ(d.sdn, 9);
}

TEST(GeneratorDescription, AWrittenDescriptionGivesTheSameFiles) {
  const SimDomain::LoadResult first = SimDomain::ParseDomain(kFullDescription);
  ASSERT_TRUE(first.domain.has_value()) << first.error;
  const SimDomain::LoadResult again = SimDomain::ParseDomain(SimDomain::WriteDomain(*first.domain));
  ASSERT_TRUE(again.domain.has_value()) << again.error;
  const ScmGen::Result a = ScmGen::Generate(ScmGen::FromDescription(*first.domain));
  const ScmGen::Result b = ScmGen::Generate(ScmGen::FromDescription(*again.domain));
  ASSERT_EQ(a.error, "");
  EXPECT_EQ(a.files.kelParaSaf, b.files.kelParaSaf);
  EXPECT_EQ(a.files.corvaneDat, b.files.corvaneDat);
  EXPECT_EQ(a.files.parData1, b.files.parData1);
}

TEST(GeneratorDescription, MalformedAddedFieldsAreNamed) {
  const struct {
    const char* text;   ///< description
    const char* field;  ///< named in the message
  } cases[] = {
      {"[scm]\nretries = 1\n[[node]]\nsadr = 1\n", "description: scm.retries"},
      {"[scm]\ncommissioning = [1, 2]\n[[node]]\nsadr = 1\n", "description: scm.commissioning"},
      {"[scm]\nmachine_options = [[1]]\n[[node]]\nsadr = 1\n", "description: scm.machine_options[0]"},
      {"[[node]]\nsadr = 2\nadditional_sadrs = [0]\n", "description: node(SADR 2).additional_sadrs"},
      {"[[node]]\nsadr = 2\nadditional_set_timestamps = [1]\n", "description: node(SADR 2).additional_set_timestamps"},
  };
  for (const auto& c : cases) {
    const SimDomain::LoadResult r = SimDomain::ParseDomain(c.text);
    EXPECT_FALSE(r.domain.has_value()) << c.text;
    EXPECT_EQ(r.error.rfind(c.field, 0), 0u) << r.error;
  }
}

}  // namespace
}  // namespace ParamTest
