// The demo's command line: what it accepts, and every refusal with the option named.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "DemoOptions.h"
#include "DomainDescription.h"

namespace {

using ScmDemo::DemoOptions;
using ScmDemo::ExitStatus::BadOptions;

ScmDemo::ParseOutcome Parse(std::vector<std::string> args, DemoOptions& options) {
  args.insert(args.begin(), "scmdemo");
  std::vector<const char*> argv;
  for (const std::string& a : args) argv.push_back(a.c_str());
  return ScmDemo::ParseOptions(static_cast<int>(argv.size()), argv.data(), options);
}

TEST(DemoOptionsTest, DefaultsAndEveryOption) {
  DemoOptions options;
  ASSERT_TRUE(Parse({}, options).run);
  EXPECT_EQ(options.nodes, 0u);
  EXPECT_EQ(options.durationSeconds, 0);
  EXPECT_EQ(options.timeLimitSeconds, 60);
  EXPECT_EQ(options.summaryFile, "scmdemo-summary.json");
  EXPECT_FALSE(options.keepStorage);

  DemoOptions all;
  const auto out = Parse({"--nodes", "4", "--fault", "2:wrong-vendor", "-f", "4:busy=3", "--duration", "1.5",
                          "--time-limit", "20", "--trace", "t.txt", "--keep-storage", "--summary", "s.json",
                          "--checker", "/c", "--firmware", "/f", "--emulator", "sh -L /usr/lib"},
                         all);
  ASSERT_TRUE(out.run) << out.message;
  EXPECT_EQ(all.nodes, 4u);
  ASSERT_EQ(all.faults.size(), 2u);
  EXPECT_EQ(all.faults[0].sadr, 2);
  EXPECT_EQ(all.faults[0].fault, "wrong-vendor");
  EXPECT_EQ(all.faults[1].sadr, 4);
  EXPECT_EQ(all.faults[1].fault, "busy=3");
  EXPECT_DOUBLE_EQ(all.durationSeconds, 1.5);
  EXPECT_DOUBLE_EQ(all.timeLimitSeconds, 20);
  EXPECT_EQ(all.traceFile, "t.txt");
  EXPECT_TRUE(all.keepStorage);
  EXPECT_EQ(all.summaryFile, "s.json");
  EXPECT_EQ(all.checkerPath, "/c");
  EXPECT_EQ(all.firmwarePath, "/f");
  // the emulator's words, its name looked up on PATH as a shell would
  ASSERT_EQ(all.emulator.size(), 3u);
  EXPECT_EQ(all.emulator[0].substr(all.emulator[0].rfind('/')), "/sh");
  EXPECT_EQ(all.emulator[0].front(), '/');
  EXPECT_EQ(all.emulator[1], "-L");
  EXPECT_EQ(all.emulator[2], "/usr/lib");
  EXPECT_TRUE(options.emulator.empty()) << "no emulator unless named";
  EXPECT_TRUE(all.download.empty());
  EXPECT_EQ(all.downloadFault, "none");
  EXPECT_TRUE(all.commitDamagedWrites);

  DemoOptions download;
  const auto withDownload = Parse({"--download", SimDomain::DefaultDomainPath(), "--download-fault", "short",
                                   "--damaged-writes", "discard", "--unlock-word", "0x01020304"},
                                  download);
  ASSERT_TRUE(withDownload.run) << withDownload.message;
  EXPECT_EQ(download.download, SimDomain::DefaultDomainPath());
  EXPECT_EQ(download.downloadFault, "short");
  EXPECT_FALSE(download.commitDamagedWrites);
  EXPECT_EQ(download.unlockWord, 0x01020304u);
}

TEST(DemoOptionsTest, LegacyTakesUpTo101NodesAndTheOlderProgramsUnlessNamed) {
  DemoOptions older;
  older.checkerPath = "/current/scmchecker";
  older.firmwarePath = "/current/scmfirmware";
  older.legacyCheckerPath = "/older/scmchecker-legacy";
  older.legacyFirmwarePath = "/older/scmfirmware-legacy";
  const auto out = Parse({"--legacy", "--nodes", "101"}, older);
  ASSERT_TRUE(out.run) << out.message;
  EXPECT_TRUE(older.legacy);
  EXPECT_EQ(older.nodes, 101u);
  ScmDemo::UseLegacyPrograms(older);
  EXPECT_EQ(older.checkerPath, "/older/scmchecker-legacy");
  EXPECT_EQ(older.firmwarePath, "/older/scmfirmware-legacy");
  // a program named on the command line is kept
  DemoOptions named = older;
  named.legacy = false;
  ASSERT_TRUE(Parse({"--legacy", "--firmware", "/mine"}, named).run);
  ScmDemo::UseLegacyPrograms(named);
  EXPECT_EQ(named.checkerPath, "/older/scmchecker-legacy");
  EXPECT_EQ(named.firmwarePath, "/mine");
  // without --legacy, 13 nodes are too many for the current release
  DemoOptions current;
  const auto thirteen = Parse({"--nodes", "13"}, current);
  EXPECT_FALSE(thirteen.run);
  EXPECT_EQ(thirteen.message,
            "scmdemo: --nodes 13: the current release serves at most 12 nodes (the older release, --legacy, 101)");
}

TEST(DemoOptionsTest, HelpEndsWithSuccess) {
  DemoOptions options;
  const auto out = Parse({"--help"}, options);
  EXPECT_FALSE(out.run);
  EXPECT_EQ(out.exitStatus, 0);
  EXPECT_NE(out.message.find("--time-limit"), std::string::npos);
}

struct BadCase {
  std::vector<std::string> args;  ///< the command line after the program name
  const char* named;              ///< what the message must name
};

TEST(DemoOptionsTest, ScenarioBringsItsFaultsAndOperatorSteps) {
  DemoOptions options;
  ASSERT_TRUE(Parse({"--scenario", "udid-mismatch-accepted", "--fault", "3:silent"}, options).run);
  ASSERT_EQ(options.faults.size(), 2u);
  EXPECT_EQ(options.faults[0].sadr, 2);
  EXPECT_EQ(options.faults[0].fault, "udid-mismatch");
  EXPECT_EQ(options.faults[1].sadr, 3);
  ASSERT_FALSE(options.operatorSteps.empty());
  EXPECT_EQ(options.operatorSteps.front(), "wait startup-over within 60");
  EXPECT_EQ(options.statusPeriodSeconds, 2);
  DemoOptions own;
  ASSERT_TRUE(Parse({"--scenario", "not-processed", "--status-period", "0"}, own).run);
  EXPECT_NE(own.description.find("not-processed-domain.toml"), std::string::npos) << own.description;
  EXPECT_EQ(own.statusPeriodSeconds, 0);
}

TEST(DemoOptionsTest, RefusalsNameTheOption) {
  const std::vector<BadCase> cases{
      {{"--bogus"}, "--bogus"},
      {{"--nodes", "0"}, "--nodes"},
      {{"--nodes", "13"}, "--nodes"},
      {{"--legacy", "--nodes", "102"}, "--nodes"},
      {{"--nodes", "two"}, "--nodes"},
      {{"--nodes", "2", "--description", "d.toml"}, "--description"},
      {{"--description", "/nonexistent/domain.toml"}, "--description"},
      {{"--duration", "-1"}, "--duration"},
      {{"--time-limit", "0"}, "--time-limit"},
      {{"--summary", ""}, "--summary"},
      {{"--fault", "wrong-vendor"}, "--fault wrong-vendor"},
      {{"--fault", "0:silent"}, "--fault 0:silent"},
      {{"--fault", "1:"}, "--fault 1:"},
      {{"--fault", "1024:silent"}, "--fault 1024:silent"},
      {{"--emulator", "no-such-emulator-here -L /"}, "--emulator: no-such-emulator-here not found"},
      {{"--download", "/nonexistent/domain.toml"}, "--download"},
      {{"--download-fault", "short"}, "--download-fault needs --download"},
      {{"--download", SimDomain::DefaultDomainPath(), "--download-fault", "late"}, "--download-fault"},
      {{"--download", SimDomain::DefaultDomainPath(), "--damaged-writes", "keep"}, "--damaged-writes"},
      {{"--status-period", "-1"}, "--status-period"},
      {{"--scenario", "no-such-scenario"}, "--scenario no-such-scenario"},
      {{"--scenario", "all-good", "--operator", "x.txt"}, "--scenario"},
      {{"--scenario", "not-processed", "--nodes", "3"}, "--scenario not-processed"},
  };
  for (const BadCase& c : cases) {
    DemoOptions options;
    const auto out = Parse(c.args, options);
    EXPECT_FALSE(out.run) << c.named;
    EXPECT_EQ(out.exitStatus, BadOptions) << c.named;
    EXPECT_NE(out.message.find(c.named), std::string::npos) << out.message;
  }
}

}  // namespace
