// Frame dispatcher and stack initialisation, with recording doubles of the
// modules behind it; and the table that proves no frame from the network can
// raise a fatal stack code.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "FrameBuilder.h"
#include "SDN.h"
#include "SERR.h"
#include "SFS.h"
#include "SSC.h"
#include "StackFixture.h"
#include "StackFrames.h"

namespace StackTest {
namespace {

using StackDoubles::g_doubles;
using StackDoubles::Script;
using StackDoubles::Step;
using TestFrames::Bytes;
using TestFrames::FrameSpec;

const TestFrames::Udid k_udid = {0x02, 0x5C, 0x3E, 0x00, 0x00, 0x08};
constexpr u16 k_sdn = 17;
constexpr u32 k_ct = 0x12345678;

class SscTest : public StackFixture {
 protected:
  void SetUp() override {
    StackFixture::SetUp();
    StartFrames(k_udid, k_sdn);
    SSC_InitFsm();
  }

  static FrameSpec Spec(u8 id, u8 le) { return MakeSpec(id, le, {5, k_sdn, 1023, 0, 0, 0x40, 1}); }
  static Bytes Frame(u8 id, u8 le) { return TestFrames::BuildFrame(TestFrames::WithFirmwareCoding(Spec(id, le), k_udid)); }
  static bool Step(const Bytes& f) { return SSC_ProcessSNMTSSDOFrame(k_ct, f.data(), static_cast<u16>(f.size())); }
  static bool Next() { return SSC_ProcessSNMTSSDOFrame(k_ct, nullptr, 0); }
  /// Feeds a frame as the pump does; the number of calls that returned true.
  static u32 Pump(const Bytes& f) {
    u32 trues = 0;
    if (Step(f)) {
      ++trues;
      while (Next()) ++trues;
    }
    return trues;
  }
  static Script Respond(u8 id, u8 le) {
    Script s;
    s.step = Step::Respond;
    s.response.ucId = id;
    s.response.usAdr = 1023;
    s.response.usSdn = k_sdn;
    s.response.usTadr = 5;
    s.response.ucLe = le;
    for (u32 i = 0; i < le; ++i) s.payload.push_back(static_cast<u8>(0x90 + i));
    return s;
  }
  static u32 NotProcessed() {
    u32 v = 0;
    SERR_GetCommonStatCtr(SERR_k_NOT_PROCESSED, &v);
    return v;
  }
};

// ---- initialisation ----
struct InitCase {
  std::string name;                  ///< which step fails
  int failAt;                        ///< 0 none, 1 SNMTS, 2 SSDOS, 3 SSDOC, 4 SNMTM
  std::vector<std::string> calls;    ///< expected calls of the doubles
};

class SscInitTest : public SscTest, public ::testing::WithParamInterface<InitCase> {};

TEST_P(SscInitTest, KeepsTheOrderAndStopsAtTheFirstFailure) {
  const InitCase& c = GetParam();
  g_doubles.snmtsInit = c.failAt != 1;
  g_doubles.ssdosInit = c.failAt != 2;
  g_doubles.ssdocInit = c.failAt != 3;
  g_doubles.snmtmInit = c.failAt != 4;
  EXPECT_EQ(SSC_InitAll(), c.failAt == 0);
  EXPECT_EQ(g_doubles.calls, c.calls);
}

INSTANTIATE_TEST_SUITE_P(
    Steps, SscInitTest,
    ::testing::Values(
        InitCase{"all", 0, {"SNMTS_Init", "SSDOS_Init", "SSDOC_Init", "SNMTM_Init", "SCM_Init"}},
        InitCase{"snmts", 1, {"SNMTS_Init"}},
        InitCase{"ssdos", 2, {"SNMTS_Init", "SSDOS_Init"}},
        InitCase{"ssdoc", 3, {"SNMTS_Init", "SSDOS_Init", "SSDOC_Init"}},
        InitCase{"snmtm", 4, {"SNMTS_Init", "SSDOS_Init", "SSDOC_Init", "SNMTM_Init"}}),
    [](const auto& info) { return info.param.name; });

TEST_F(SscTest, InitStopsWhenTheDictionaryOrAResolvingModuleFails) {
  UseTables(nullptr, nullptr);
  EXPECT_FALSE(SSC_InitAll());
  EXPECT_TRUE(g_doubles.calls.empty());
  EXPECT_EQ(LastError(), (ErrorReport{0xF71B, 0}));
  static u16 s_value = 0;
  static const SOD_Entry k_noUdid[] = {
      {0x1200, 1, {0x0004, SOD_k_UINT16, 2, nullptr, &s_value, nullptr, nullptr}},
      {SOD_k_END_INDEX, 0, {}},
  };
  UseTables(k_noUdid, nullptr);
  EXPECT_FALSE(SSC_InitAll());
  EXPECT_TRUE(g_doubles.calls.empty());
  EXPECT_EQ(LastError(), (ErrorReport{0xF745, 0x06090011}));
}

// ---- routing ----
struct RouteCase {
  u8 id;             ///< received id
  std::string call;  ///< processor expected ("" = none, refused with 0x2902)
};

class SscRouteTest : public SscTest, public ::testing::WithParamInterface<RouteCase> {};

TEST_P(SscRouteTest, RoutesOnlyTheServedIds) {
  const RouteCase& c = GetParam();
  const u32 before = NotProcessed();
  ASSERT_TRUE(Step(Frame(c.id, 1))) << ::testing::PrintToString(g_errors);
  g_doubles.snmtsScript.push_back(Respond(0x2D, 1));
  g_doubles.ssdosScript.push_back(Respond(0x39, 1));
  const bool more = Next();
  if (c.call.empty()) {
    EXPECT_FALSE(more);
    EXPECT_TRUE(g_doubles.calls.empty());
    EXPECT_EQ(g_errors, (std::vector<ErrorReport>{{0x2902, c.id}}));
    EXPECT_EQ(NotProcessed(), before + 1);
    return;
  }
  EXPECT_EQ(g_doubles.calls, (std::vector<std::string>{c.call}));
  const bool isRequest = (c.id & 1) == 0;
  EXPECT_EQ(more, isRequest);
  if (isRequest) {
    EXPECT_FALSE(Next());
    ASSERT_EQ(g_tx.frames.size(), 1U);
    EXPECT_EQ(g_tx.types[0], SFS_IsSnmt(c.id) ? SFS_k_TT_SNMT : (c.id == 0x3A ? SFS_k_TT_SSDO_SLIM : SFS_k_TT_SSDO));
  }
  EXPECT_TRUE(g_errors.empty());
  EXPECT_EQ(NotProcessed(), before);
}

INSTANTIATE_TEST_SUITE_P(
    Ids, SscRouteTest,
    ::testing::Values(RouteCase{0x28, "SNMTS_ProcessRequest"}, RouteCase{0x2A, "SNMTS_ProcessRequest"},
                      RouteCase{0x2C, "SNMTS_ProcessRequest"}, RouteCase{0x2E, "SNMTS_ProcessRequest"},
                      RouteCase{0x38, "SSDOS_ProcessRequest"}, RouteCase{0x3A, "SSDOS_ProcessRequest"},
                      RouteCase{0x29, "SNMTM_ProcessResponse"}, RouteCase{0x2B, "SNMTM_ProcessResponse"},
                      RouteCase{0x2D, "SNMTM_ProcessResponse"}, RouteCase{0x2F, "SNMTM_ProcessResponse"},
                      RouteCase{0x39, "SSDOC_ProcessResponse"}, RouteCase{0x3B, "SSDOC_ProcessResponse"},
                      RouteCase{0x30, ""}, RouteCase{0x31, ""}, RouteCase{0x35, ""}, RouteCase{0x36, ""},
                      RouteCase{0x37, ""}, RouteCase{0x3C, ""}, RouteCase{0x3D, ""}, RouteCase{0x3E, ""},
                      RouteCase{0x3F, ""}, RouteCase{0x00, ""}, RouteCase{0x27, ""}),
    [](const auto& info) { return "id" + std::to_string(info.param.id); });

TEST_F(SscTest, ProcessorsGetTheHeaderWithItsPayload) {
  g_doubles.snmtsScript.push_back(Respond(0x2D, 1));
  Pump(Frame(0x2C, 5));
  ASSERT_EQ(g_doubles.snmtsRequests.size(), 1U);
  EXPECT_EQ(g_doubles.snmtsRequests[0].ct, k_ct);
  EXPECT_EQ(g_doubles.snmtsRequests[0].header.ucId, 0x2C);
  EXPECT_EQ(g_doubles.snmtsRequests[0].header.usAdr, 5);
  EXPECT_EQ(g_doubles.snmtsRequests[0].payload, Spec(0x2C, 5).payload);
  Pump(Frame(0x39, 12));
  ASSERT_EQ(g_doubles.ssdocResponses.size(), 1U);
  EXPECT_EQ(g_doubles.ssdocResponses[0].payload, Spec(0x39, 12).payload);
  EXPECT_EQ(g_doubles.ssdocResponses[0].ct, k_ct);
}

TEST_F(SscTest, BusyProcessorIsCalledAgainWithTheSameRequest) {
  Script busy;
  busy.step = Step::Busy;
  g_doubles.ssdosScript = {busy, busy, Respond(0x39, 4)};
  EXPECT_EQ(Pump(Frame(0x38, 4)), 4U);
  ASSERT_EQ(g_doubles.ssdosRequests.size(), 3U);
  for (const auto& r : g_doubles.ssdosRequests) {
    EXPECT_EQ(r.header.ucId, 0x38);
    EXPECT_EQ(r.payload, Spec(0x38, 4).payload);
  }
  EXPECT_EQ(g_doubles.ssdosRequests[0].busyOnEntry, 0);
  EXPECT_EQ(g_doubles.ssdosRequests[1].busyOnEntry, 1);
  EXPECT_EQ(g_doubles.ssdosRequests[2].busyOnEntry, 1);
  ASSERT_EQ(g_tx.frames.size(), 1U);
}

TEST_F(SscTest, ResponseIsTheServersHeaderAndPayload) {
  g_doubles.snmtsScript.push_back(Respond(0x2D, 3));
  Pump(Frame(0x2C, 1));
  ASSERT_EQ(g_tx.frames.size(), 1U);
  FrameSpec expected;
  expected.id = 0x2D;
  expected.adr = 1023;
  expected.sdn = k_sdn;
  expected.tadr = 5;
  expected.payload = {0x90, 0x91, 0x92};
  EXPECT_EQ(TestFrames::BlockToQueueForm(g_tx.frames[0], 0x2D, 3), TestFrames::BuildFrame(expected));
}

TEST_F(SscTest, ThirtySevenBytesAreAcceptedThirtyEightRefused) {
  const Bytes f37 = Frame(0x38, 12);
  ASSERT_EQ(f37.size(), 37U);
  EXPECT_TRUE(Step(f37));
  SSC_InitFsm();
  const Bytes f38 = Frame(0x3A, 25);
  ASSERT_EQ(f38.size(), 38U);
  u32 lenCtr = 0;
  SERR_GetCommonStatCtr(SERR_k_FRAME_LEN, &lenCtr);
  EXPECT_FALSE(Step(f38));
  EXPECT_EQ(g_errors, (std::vector<ErrorReport>{{0x2906, 38}}));
  u32 lenCtr2 = 0;
  SERR_GetCommonStatCtr(SERR_k_FRAME_LEN, &lenCtr2);
  EXPECT_EQ(lenCtr2, lenCtr) << "refused before it is decoded";
}

TEST_F(SscTest, SlimRequestGetsASlimAnswer) {
  g_doubles.ssdosScript.push_back(Respond(0x39, 5));
  EXPECT_EQ(Pump(Frame(0x3A, 4)), 2U);
  ASSERT_EQ(g_tx.requests.size(), 1U);
  EXPECT_EQ(g_tx.requests[0].type, SFS_k_TT_SSDO_SLIM);
  ASSERT_EQ(g_tx.frames.size(), 1U);
  FrameSpec expected;
  expected.id = 0x3B;
  expected.adr = 1023;
  expected.sdn = k_sdn;
  expected.tadr = 5;
  expected.payload = {0x90, 0x91, 0x92, 0x93, 0x94};
  EXPECT_EQ(TestFrames::BlockToQueueForm(g_tx.frames[0], 0x3B, 5),
            TestFrames::BuildFrame(TestFrames::WithFirmwareCoding(expected, k_udid)));
}

TEST_F(SscTest, ResponseFrameNeverReachesTheSendState) {
  EXPECT_EQ(Pump(Frame(0x2B, 6)), 1U);
  EXPECT_TRUE(g_tx.requests.empty());
  EXPECT_FALSE(Next());
  EXPECT_EQ(LastError(), (ErrorReport{0xF905, 0}));
}

TEST_F(SscTest, FrameInStateOneDropsTheRequest) {
  ASSERT_TRUE(Step(Frame(0x2C, 1)));
  const u32 before = NotProcessed();
  EXPECT_FALSE(Step(Frame(0x2C, 1)));
  EXPECT_EQ(g_errors, (std::vector<ErrorReport>{{0xF907, 0}}));
  EXPECT_EQ(NotProcessed(), before + 1);
  EXPECT_TRUE(g_doubles.calls.empty());
  // Back in state 0: the next frame is taken as new.
  EXPECT_TRUE(Step(Frame(0x2C, 1)));
}

TEST_F(SscTest, FrameInStateTwoDropsTheResponse) {
  g_doubles.snmtsScript.push_back(Respond(0x2D, 1));
  ASSERT_TRUE(Step(Frame(0x2C, 1)));
  ASSERT_TRUE(Next());
  EXPECT_FALSE(Step(Frame(0x2C, 1)));
  EXPECT_EQ(g_errors, (std::vector<ErrorReport>{{0xF907, 0}}));
  EXPECT_TRUE(g_tx.requests.empty());
  EXPECT_FALSE(Next());
  EXPECT_EQ(LastError(), (ErrorReport{0xF905, 0}));
}

TEST_F(SscTest, RefusingProcessorIsCountedAndNotAnswered) {
  const u32 before = NotProcessed();
  g_doubles.snmtmResult = false;
  EXPECT_EQ(Pump(Frame(0x29, 6)), 1U);
  EXPECT_EQ(NotProcessed(), before + 1);
  Script fail;
  fail.step = Step::Fail;
  g_doubles.snmtsScript.push_back(fail);
  EXPECT_EQ(Pump(Frame(0x28, 0)), 1U);
  EXPECT_EQ(NotProcessed(), before + 2);
  EXPECT_TRUE(g_tx.requests.empty());
  EXPECT_TRUE(g_errors.empty());
}

TEST_F(SscTest, UnpreparedResponseIsNeitherSentNorReported) {
  g_doubles.snmtsScript.push_back(Respond(0x2D, 1));
  Pump(Frame(0x2C, 1));
  ASSERT_EQ(g_tx.frames.size(), 1U);
  const u32 before = NotProcessed();
  Script silent;
  silent.step = Step::TrueSilent;
  g_doubles.snmtsScript.push_back(silent);
  EXPECT_EQ(Pump(Frame(0x2C, 1)), 2U);
  EXPECT_EQ(g_tx.frames.size(), 1U) << "the earlier response is not sent again";
  EXPECT_EQ(g_tx.requests.size(), 1U);
  EXPECT_TRUE(g_errors.empty());
  EXPECT_EQ(NotProcessed(), before);
  EXPECT_FALSE(Next());
  EXPECT_EQ(LastError(), (ErrorReport{0xF905, 0}));
}

TEST_F(SscTest, ResponseLongerThanItsBufferIsNotSent) {
  Script big = Respond(0x2D, 25);
  g_doubles.snmtsScript.push_back(big);
  Pump(Frame(0x2C, 1));
  EXPECT_EQ(g_errors, (std::vector<ErrorReport>{{0xF909, 25}}));
  EXPECT_TRUE(g_tx.requests.empty());
}

TEST_F(SscTest, NoBlockSendsNothing) {
  g_tx.refuseBlock = true;
  g_doubles.snmtsScript.push_back(Respond(0x2D, 1));
  Pump(Frame(0x2C, 1));
  EXPECT_EQ(g_errors, (std::vector<ErrorReport>{{0xF316, 0}}));
  EXPECT_TRUE(g_tx.frames.empty());
}

// ---- no remote shutdown ----
struct HostileCase {
  std::string name;  ///< what is wrong with the frame
  Bytes frame;       ///< the frame as received
};

Bytes Hostile(u8 id, u8 le, void (*edit)(FrameSpec&)) {
  FrameSpec s = MakeSpec(id, le, {5, k_sdn, 1023, 0, 0, 0x5A, 0});
  edit(s);
  if (!s.scmUdid) s = TestFrames::WithFirmwareCoding(s, k_udid);
  return TestFrames::BuildFrame(s);
}
void Keep(FrameSpec&) {}

std::vector<HostileCase> HostileCases() {
  std::vector<HostileCase> cases = {
      {"short", Bytes(10, 0xFF)},
      {"empty_11", Bytes(11, 0x00)},
      {"all_ff_37", Bytes(37, 0xFF)},
      {"over_37", Bytes(38, 0x00)},
      {"huge", Bytes(521, 0x00)},
      {"adr0", Hostile(0x2C, 1, [](FrameSpec& s) { s.adr = 0; })},
      {"sdn0", Hostile(0x38, 4, [](FrameSpec& s) { s.sdn = 0; })},
      {"tadr0", Hostile(0x2A, 6, [](FrameSpec& s) { s.tadr = 0; })},
      {"other_udid", Hostile(0x38, 4, [](FrameSpec& s) { s.scmUdid = TestFrames::Udid{1, 2, 3, 4, 5, 6}; })},
      {"snmt_coded", Hostile(0x28, 0, [](FrameSpec& s) { s.scmUdid = k_udid; })},
  };
  Bytes lengthWrong = Hostile(0x38, 2, Keep);
  lengthWrong.push_back(0);
  cases.push_back({"length_wrong", lengthWrong});
  Bytes idsDiffer = Hostile(0x2C, 2, Keep);
  idsDiffer[TestFrames::SubFrameTwoOffset(2) + 1] ^= 0x08;
  cases.push_back({"ids_differ", idsDiffer});
  Bytes crc1 = Hostile(0x38, 9, Keep);
  crc1[13] ^= 1;
  cases.push_back({"crc1", crc1});
  Bytes crc2 = Hostile(0x39, 3, Keep);
  crc2.back() ^= 1;
  cases.push_back({"crc2", crc2});
  Bytes differ = Hostile(0x2D, 2, Keep);
  const std::size_t two = TestFrames::SubFrameTwoOffset(2);
  differ[two + 5] ^= 1;
  differ[two + 7] = static_cast<u8>(TestFrames::FrameCrc(0x2D, 2, differ.data() + two, 7));
  cases.push_back({"payloads_differ", differ});
  for (u8 id : {0x00, 0x01, 0x20, 0x27, 0x30, 0x31, 0x32, 0x33, 0x34, 0x35, 0x36, 0x37, 0x3C, 0x3D, 0x3E, 0x3F}) {
    cases.push_back({"unrouted_" + std::to_string(id), Hostile(id, 2, Keep)});
  }
  return cases;
}

class SscHostileTest : public SscTest, public ::testing::WithParamInterface<HostileCase> {};

TEST_P(SscHostileTest, IsNeitherAnsweredNorFatal) {
  g_doubles.snmtsScript.push_back(Respond(0x2D, 1));
  g_doubles.ssdosScript.push_back(Respond(0x39, 1));
  Pump(GetParam().frame);
  EXPECT_TRUE(g_tx.requests.empty());
  EXPECT_TRUE(g_doubles.calls.empty());
  EXPECT_FALSE(g_errors.empty());
  EXPECT_LE(MaxErrorCode(), 0x3FFF) << ::testing::PrintToString(g_errors);
  // The dispatcher is ready for the next frame.
  EXPECT_TRUE(Step(Frame(0x28, 0)));
}

INSTANTIATE_TEST_SUITE_P(Frames, SscHostileTest, ::testing::ValuesIn(HostileCases()),
                         [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace StackTest
