// One safety domain end to end: the host simulator starts scmchecker and
// scmfirmware; the ident handshake passes both ways, both keep cycling in
// lock-step, and the firmware's events arrive plain on the host's queue. The
// key medium of the empty domain is installed, so that the checker starts
// without failing safe.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <thread>

#include "ScmGen.h"
#include "ScmHostSim.h"
#include "rtp_testhooks.h"

namespace {

TEST(CheckerFirmwareEndToEndTest, HandshakeLockStepAndPlainEvents) {
  char pattern[] = "/tmp/scme2e.XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  const std::string directory = pattern;
  ScmSim::HostConfig config;
  config.sdn = 77;
  config.socketPath = directory + "/host.sock";
  config.storageDir = directory + "/storage";
  config.simNamespace = "e2e" + std::to_string(getpid());
  config.resetActs = false;
  config.resetPlcActs = false;
  {
    ScmSim::HostSim host(config);
    host.Start();
    const ScmGen::InstalledState installed = ScmGen::Install(ScmGen::Domain{}, config.qorUdid);
    ASSERT_TRUE(host.PutFile(ScmGen::kCorvaneUidName, installed.corvaneUid));
    ASSERT_TRUE(host.PutFile(ScmGen::kCorvaneUidChkName, installed.corvaneUidChk));
    ASSERT_TRUE(host.SetFlash(installed.flash));
    const int checker = host.Programs().Start(SCM_E2E_CHECKER_PATH, {});
    const int firmware = host.Programs().Start(SCM_E2E_FIRMWARE_PATH, {});
    ASSERT_GT(checker, 0);
    ASSERT_GT(firmware, 0);
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!host.Condition(2) && std::chrono::steady_clock::now() < end) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_TRUE(host.Condition(1));
    ASSERT_TRUE(host.Condition(2));
    EXPECT_EQ(*host.Condition(1), static_cast<uint32_t>(SCM_FIRMWARE_IDENT));
    EXPECT_EQ(*host.Condition(2), *host.Condition(1));
    // Each checker cycle gives the firmware-side "frame-send" semaphore once, each
    // firmware cycle the firmware-side "frame-receive" one.
    SEM_ID checkerGives = semOpen(host.FullName("~frame-send").c_str(), 0, 0, 0, 0, nullptr);
    SEM_ID firmwareGives = semOpen(host.FullName("~frame-receive").c_str(), 0, 0, 0, 0, nullptr);
    ASSERT_NE(checkerGives, nullptr);
    ASSERT_NE(firmwareGives, nullptr);
    const long long checkerBefore = ScmSimSemGives(checkerGives);
    const long long firmwareBefore = ScmSimSemGives(firmwareGives);
    // More than ten cycles, however long a loaded machine takes for them (the deadline only a backstop).
    const auto cyclesEnd = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (ScmSimSemGives(checkerGives) - checkerBefore <= 10 && std::chrono::steady_clock::now() < cyclesEnd) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    const auto checkerInfo = host.Programs().Info(checker);
    const auto firmwareInfo = host.Programs().Info(firmware);
    ASSERT_TRUE(checkerInfo && firmwareInfo);
    EXPECT_TRUE(checkerInfo->running) << checkerInfo->output;
    EXPECT_TRUE(firmwareInfo->running) << firmwareInfo->output;
    // The checker can only cycle while the firmware gives its end-of-cycle semaphore after each of its cycles.
    const long long checkerCycles = ScmSimSemGives(checkerGives) - checkerBefore;
    const long long firmwareCycles = ScmSimSemGives(firmwareGives) - firmwareBefore;
    EXPECT_GT(checkerCycles, 10);
    EXPECT_GE(firmwareCycles, checkerCycles - 1);
    EXPECT_LE(firmwareCycles, checkerCycles + 1);
    semClose(checkerGives);
    semClose(firmwareGives);
    // Every record on the host's event queue is plain: a firmware event (level 1..3,
    // class 6 or 9) or a checker record (code 0xE2xx).
    int firmwareEvents = 0;
    while (auto event = host.Collect("event")) {
      ASSERT_EQ(event->size(), 11u);
      const uint32_t code =
          (*event)[1] | (*event)[2] << 8 | (*event)[3] << 16 | static_cast<uint32_t>((*event)[4]) << 24;
      const uint32_t eventClass = code >> 28;
      const bool checkerRecord = (code & 0xFFFFFF00u) == 0xE200u;
      EXPECT_TRUE(checkerRecord || eventClass == 6 || eventClass == 9) << std::hex << code;
      firmwareEvents += !checkerRecord;
    }
    // The storage without parameter files alone makes the firmware report its missing files.
    EXPECT_GT(firmwareEvents, 0);
    host.Stop();
  }
  std::error_code ignored;
  std::filesystem::remove_all(directory, ignored);
}

}  // namespace
