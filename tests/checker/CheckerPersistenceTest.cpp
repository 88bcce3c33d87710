// The persistence through the real scmchecker under the two-sided harness: an
// installed domain starts clean; a missing, corrupt or mismatched copy logs
// its pair's code, fails safe and empties that pair on the host's storage
// while every other file stays as it was and the check task keeps cycling; an
// old-version plain file is kept and starts clean once rewritten; busy storage
// and an absent flash area 16 fail safe.
#include <gtest/gtest.h>

#include <functional>
#include <set>

#include "CheckerHarness.h"
#include "PersistenceDomain.h"
#include "ScmGenBuild.h"

namespace {

using Files = std::map<std::string, ScmTest::Bytes>;

/// One start of the checker.
struct Row {
  const char* name;                                       ///< what the row shows
  std::function<void(ScmTest::CheckerHarnessOptions&)> set;  ///< changes to the installed domain
  std::vector<ScmTest::LogRecord> log;                     ///< records at start-up
  bool failSafe;                                           ///< the frame queues are gone
  std::set<std::string> emptied;                           ///< the pair emptied on the storage
};

ScmTest::LogRecord Error(uint16_t code, uint16_t i0 = 0, uint32_t i1 = 0) { return {3, code, i0, i1}; }

bool operator==(const ScmTest::LogRecord& a, const ScmTest::LogRecord& b) {
  return a.level == b.level && a.code == b.code && a.information0 == b.information0 &&
         a.information1 == b.information1;
}

ScmTest::CheckerHarnessOptions Installed() {
  ScmTest::CheckerHarnessOptions options;
  options.storage = PersistenceTest::InstalledFiles(PersistenceTest::InstalledDomain());
  options.flash = options.storage.at("corvane.uid");
  return options;
}

/// Starts the checker, answers the handshake, cycles a few times and checks the row.
void RunRow(const Row& row, const ScmTest::CheckerHarnessOptions& options) {
  ScmTest::CheckerHarness harness(options);
  harness.Start();
  ASSERT_TRUE(harness.Handshake());
  for (int i = 0; i < 3; ++i) {
    ASSERT_TRUE(harness.Cycle()) << "the check task cycles";
  }
  const std::vector<ScmTest::LogRecord> log = harness.CollectLog();
  ASSERT_EQ(log.size(), row.log.size());
  for (size_t i = 0; i < log.size(); ++i) {
    EXPECT_TRUE(log[i] == row.log[i]) << std::hex << log[i].code << " " << log[i].information0 << " "
                                      << log[i].information1;
  }
  EXPECT_EQ(harness.Host().Waiting("frame-receive") == -1, row.failSafe);
  harness.Host().SetStorageBusy(false);
  for (const auto& [name, bytes] : options.storage) {
    const auto stored = harness.Host().GetFile(name);
    ASSERT_TRUE(stored.has_value()) << name;
    if (row.emptied.count(name) != 0) {
      EXPECT_TRUE(stored->empty()) << name;
    } else {
      EXPECT_EQ(*stored, bytes) << name << " unchanged";
    }
  }
}

TEST(CheckerPersistenceTest, StartUpTable) {
  const std::vector<ScmGen::UdidEntry> acknowledged = {{2, {0x02, 0x5C, 0x3E, 0xA0, 0x00, 0x02}},
                                                       {5, {0x02, 0x5C, 0x3E, 0xA0, 0x01, 0x05}}};
  const Row rows[] = {
      {"installed domain", [](auto&) {}, {}, false, {}},
      {"corvane.dat.chk missing", [](auto& o) { o.storage.erase("corvane.dat.chk"); }, {Error(0xE217)}, true,
       {"corvane.dat", "corvane.dat.chk"}},
      {"fwrevcnf.bin.chk corrupt", [](auto& o) { o.storage["fwrevcnf.bin.chk"].resize(11); },
       {Error(0xE273, 0, 11)}, true, {"fwrevcnf.bin", "fwrevcnf.bin.chk"}},
      {"corvane.dat.chk with a mismatched UDID",
       [&](auto& o) { o.storage["corvane.dat.chk"] = ScmGen::CorvaneDatChkFile(acknowledged); },
       {Error(0xE21A, 5, 5)}, true, {"corvane.dat", "corvane.dat.chk"}},
      {"busy storage", [](auto& o) { o.storageBusy = true; }, {Error(0xE231, 0, 114)}, true, {}},
      {"flash area 16 absent", [](auto& o) { o.flash.reset(); }, {}, true, {}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    ScmTest::CheckerHarnessOptions options = Installed();
    row.set(options);
    RunRow(row, options);
  }
}

TEST(CheckerPersistenceTest, OldVersionIsKeptAndStartsCleanOnceRewritten) {
  ScmTest::CheckerHarnessOptions options = Installed();
  options.storage["fwrevcnf.bin"][4] = 0x00;  // version 0x0100, which the firmware still reads
  RunRow({"old version", {}, {Error(0xE278, 0, 0x0100)}, true, {}}, options);
  // The firmware rewrites it in the current version with the same values.
  options.storage["fwrevcnf.bin"] = ScmGen::FwRevCnfBin(*PersistenceTest::InstalledDomain().fwRevCnf);
  RunRow({"rewritten", {}, {}, false, {}}, options);
}

}  // namespace
