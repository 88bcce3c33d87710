// Misbehaving firmware under the two-sided harness, on an installed domain:
// after a node asked for its additional set (SN fail of group 5), a download
// whose header the key files do not name is refused with one error record
// (code, SADR, number), never reaches the host, and fails the domain safe; a
// correct header, and a download nobody asked for, pass in the same cycle.
#include <gtest/gtest.h>

#include <functional>

#include "CheckerHarness.h"
#include "CheckerTestSupport.h"
#include "FrameBuilder.h"
#include "MessageBuilder.h"
#include "PersistenceDomain.h"
#include "ScmGenBuild.h"

namespace {

using ScmTest::Bytes;
using ScmTest::CheckerHarness;

constexpr TestFrames::Udid kScmUdid = {0x02, 0x5C, 0x3E, 0x10, 0x20, 0x31};
constexpr u16 kSdn = 42;
constexpr u16 kNode = 5;  ///< the node whose set number 1 lies in "pardata1.bin"

/// A frame of the domain from id, ADR, CT, TADR and payload; coded with the SCM UDID when asked.
Bytes Build(u8 id, u16 adr, u16 ct, u16 tadr, Bytes payload, bool coded) {
  return CheckerTest::DomainFrame(id, adr, kSdn, ct, tadr, std::move(payload),
                                  coded ? std::optional<TestFrames::Udid>(kScmUdid) : std::nullopt);
}

Bytes AssignUdidOfScm() {
  return Build(TestFrames::Ids::SnmtService, 1, 0, 1,
               {0x0E, kScmUdid[0], kScmUdid[1], kScmUdid[2], kScmUdid[3], kScmUdid[4], kScmUdid[5]}, false);
}
Bytes SnFail() { return Build(TestFrames::Ids::SnmtServiceResponse, 1, 0, kNode, {0x07, 5, 0}, false); }
Bytes Expedited(u16 ct, const Bytes& data) {
  Bytes payload = {0x21, 0x1A, 0x10, 0x00};
  payload.insert(payload.end(), data.begin(), data.end());
  return Build(TestFrames::Ids::SsdoRequest, kNode, ct, 1, payload, true);
}
Bytes Segmented(u16 ct, const Bytes& data) {
  Bytes payload = {0x29, 0x1A, 0x10, 0x00, 40, 0, 0, 0};
  payload.insert(payload.end(), data.begin(), data.end());
  return Build(TestFrames::Ids::SsdoRequest, kNode, ct, 1, payload, true);
}

/// The plain header of the node's set as "pardata1.bin" holds it.
Bytes GoodHeader() {
  for (const auto& s : PersistenceTest::InstalledDomain().sets) {
    if (s.sadr == kNode) {
      const Bytes entry = ScmGen::ParData1Entry(s.number, s.sadr, s.payload, s.timestamp);
      return Bytes(entry.begin(), entry.begin() + 16);
    }
  }
  return {};
}

/// scmchecker on the installed domain, past the handshake and the SCM UDID assignment.
class InstalledChecker {
 public:
  void Start() {
    ScmTest::CheckerHarnessOptions options;
    options.storage = PersistenceTest::InstalledFiles(PersistenceTest::InstalledDomain());
    options.flash = options.storage.at("corvane.uid");
    harness_ = std::make_unique<CheckerHarness>(options);
    harness_->Start();
    ASSERT_TRUE(harness_->Handshake());
    ASSERT_TRUE(harness_->TakeCycle());
    ASSERT_TRUE(harness_->FirmwareSend("frame-receive", AssignUdidOfScm()));
    NextCycle();
    ASSERT_EQ(harness_->HostCollect("frame-receive").size(), 1u);
  }
  void NextCycle() {
    harness_->GiveCycle();
    ASSERT_TRUE(harness_->TakeCycle());
  }
  /// The node asks for its set; the request reaches the firmware.
  void Request() {
    ASSERT_TRUE(harness_->HostSend("frame-send", SnFail()));
    NextCycle();
    ASSERT_EQ(harness_->FirmwareCollect("frame-send"), std::vector<Bytes>{SnFail()});
  }
  /// The firmware sends a frame; true when it reached the host in the same cycle.
  bool Send(const Bytes& frame) {
    EXPECT_TRUE(harness_->FirmwareSend("frame-receive", frame));
    harness_->GiveCycle();
    EXPECT_TRUE(harness_->TakeCycle());
    const auto forwarded = harness_->HostCollect("frame-receive");
    return forwarded == std::vector<Bytes>{frame};
  }
  std::unique_ptr<CheckerHarness> harness_;
};

class CheckerAdditionalParameterTest : public ::testing::Test, protected InstalledChecker {
 protected:
  void SetUp() override { Start(); }
};

TEST_F(CheckerAdditionalParameterTest, CorrectHeaderAndUnrequestedDownloadPass) {
  Bytes forged = GoodHeader();
  forged[0] = 3;
  EXPECT_TRUE(Send(Expedited(10, forged))) << "no request before it";
  Request();
  EXPECT_TRUE(Send(Expedited(11, GoodHeader())));
  EXPECT_TRUE(Send(Segmented(12, GoodHeader())));
  EXPECT_TRUE(harness_->CollectLog().empty());
  EXPECT_EQ(harness_->Host().Waiting("frame-receive"), 0) << "not fail-safe";
}

TEST(CheckerForgedAdditionalParameterTest, ForgedHeadersAreRefusedAndFailSafe) {
  struct Row {
    const char* name;                       ///< the forgery
    std::function<std::vector<Bytes>()> frames;  ///< downloads in order; the last one is refused
    uint16_t code;                          ///< the checker's code
    uint32_t number;                        ///< the parameter number recorded
  };
  auto with = [](size_t at, u8 value) {
    Bytes h = GoodHeader();
    h[at] = value;
    return h;
  };
  const Row rows[] = {
      {"number not in the catalog", [&] { return std::vector<Bytes>{Expedited(10, with(0, 3))}; }, 0xE2EC, 3},
      {"CRC differs", [&] { return std::vector<Bytes>{Expedited(10, with(8, 0x55))}; }, 0xE2ED, 1},
      {"timestamp differs", [&] { return std::vector<Bytes>{Expedited(10, with(12, 0x55))}; }, 0xE2ED, 1},
      {"number above 15", [&] { return std::vector<Bytes>{Expedited(10, with(0, 16))}; }, 0xE2EB, 16},
      {"forged second download after a correct one",
       [&] { return std::vector<Bytes>{Expedited(10, GoodHeader()), Expedited(11, with(12, 0x55))}; }, 0xE2ED, 1},
      {"segmented initiate with CT 0", [&] { return std::vector<Bytes>{Segmented(0, with(8, 0x55))}; }, 0xE2ED, 1},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    InstalledChecker f;
    f.Start();
    if (::testing::Test::HasFatalFailure()) return;
    f.Request();
    const std::vector<Bytes> frames = row.frames();
    for (size_t i = 0; i + 1 < frames.size(); ++i) {
      EXPECT_TRUE(f.Send(frames[i]));
    }
    EXPECT_FALSE(f.Send(frames.back())) << "the refused frame never reaches the host";
    const auto log = f.harness_->CollectLog();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].level, 3);
    EXPECT_EQ(log[0].code, row.code);
    EXPECT_EQ(log[0].information0, kNode);
    EXPECT_EQ(log[0].information1, row.number);
    EXPECT_EQ(f.harness_->Host().Waiting("frame-receive"), -1) << "frame queues gone";
    TestFrames::StatusSpec status;
    status.result = 4;
    ASSERT_TRUE(f.harness_->FirmwareSend("status", TestFrames::BuildStatus(status)));
    f.harness_->GiveCycle();
    ASSERT_TRUE(f.harness_->TakeCycle());
    const auto responses = f.harness_->HostCollect("status");
    ASSERT_EQ(responses.size(), 1u);
    EXPECT_EQ(responses[0][TestFrames::ResponseOffsets::FailSafeByte], 4) << "marked: the checker is fail-safe";
  }
}

}  // namespace
