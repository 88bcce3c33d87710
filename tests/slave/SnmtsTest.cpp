// SNMT slave: request acceptance, SADR assignment, the SCM UDID, the
// operational path, acknowledges and the services that act on the SCM.
#include "SAPL.h"
#include "SPDO.h"
#include "SlaveFixture.h"
#include "ScmProfile.h"

namespace SlaveTest {
namespace {

/// The own UDID's bytes.
const Bytes k_ownUdid(k_OWN_UDID.begin(), k_OWN_UDID.end());

class Snmts : public SlaveFixture {};

/// A refused request: its frame fields, the error it draws.
struct Refusal {
  const char* name;  ///< what is wrong
  u8 id;             ///< frame id
  Bytes payload;     ///< payload
  u16 adr;           ///< ADR
  u16 sdn;           ///< SDN
  u16 ct;            ///< CT
  u8 tr;             ///< TR
  u16 code;          ///< expected error code
  u32 info;          ///< its info
};

/// Requests refused before or in their handling.
const Refusal k_refusals[] = {
    {"CtNotZero", 0x2C, {0x08}, k_SADR, k_SDN, 3, 0, 0x1615, 3},
    {"TrNotZero", 0x2C, {0x08}, k_SADR, k_SDN, 0, 2, 0x1616, 2},
    {"OtherAdr", 0x2C, {0x08}, 6, k_SDN, 0, 0, 0x1617, (6u << 16) | k_SDN},
    {"OtherSdn", 0x2C, {0x08}, k_SADR, 8, 0, 0, 0x1617, (u32{k_SADR} << 16) | 8},
    {"UdidRequestLe1", 0x28, {0}, k_SADR, k_SDN, 0, 0, 0x2608, 1},
    {"AssignLe5", 0x2A, {1, 2, 3, 4, 5}, k_SADR, k_SDN, 0, 0, 0x2618, 5},
    {"AssignOtherUdid", 0x2A, {0x11, 0x12, 0x13, 0x14, 0x15, 0x17}, k_SADR, k_SDN, 0, 0, 0x1619, 0},
    {"ServiceLe0", 0x2C, {}, k_SADR, k_SDN, 0, 0, 0x2609, 0},
    {"SetPreOpLe2", 0x2C, {0x00, 0}, k_SADR, k_SDN, 0, 0, 0x260B, 2},
    {"SetOpLe4", 0x2C, {0x02, 0, 0, 0}, k_SADR, k_SDN, 0, 0, 0x260C, 4},
    {"ScmStopLe2", 0x2C, {0x04, 0}, k_SADR, k_SDN, 0, 0, 0x260D, 2},
    {"ScmOpLe2", 0x2C, {0x06, 0}, k_SADR, k_SDN, 0, 0, 0x260E, 2},
    {"GuardLe2", 0x2C, {0x08, 0}, k_SADR, k_SDN, 0, 0, 0x260F, 2},
    {"AddSadrLe4", 0x2C, {0x0A, 0, 0, 0}, k_SADR, k_SDN, 0, 0, 0x2610, 4},
    {"ErrAckLe2", 0x2C, {0x0C, 0}, k_SADR, k_SDN, 0, 0, 0x2612, 2},
    {"ScmUdidLe6", 0x2C, {0x0E, 1, 2, 3, 4, 5}, k_SADR, k_SDN, 0, 0, 0x2613, 6},
    {"ExtCtLe5", 0x2C, {0x10, 1, 2, 3, 4}, k_SADR, k_SDN, 0, 0, 0x264E, 5},
    {"UnknownService", 0x2C, {0x12}, k_SADR, k_SDN, 0, 0, 0x2614, 0x12},
    {"ResponseServiceCode", 0x2C, {0x01}, k_SADR, k_SDN, 0, 0, 0x2614, 0x01},
    {"Id2E", 0x2E, {0x00}, k_SADR, k_SDN, 0, 0, 0x260A, 0x2E},
};

class SnmtsRefusal : public SlaveFixture, public ::testing::WithParamInterface<Refusal> {};

TEST_P(SnmtsRefusal, NoAnswerStateKeptAndCounted) {
  const Refusal& r = GetParam();
  ToPreOp();
  ClearErrors();
  u32 notProcessed = 0;
  ASSERT_TRUE(SERR_GetCommonStatCtr(SERR_k_NOT_PROCESSED, &notProcessed));
  EXPECT_TRUE(Snmt(r.id, r.payload, r.adr, r.sdn, r.ct, r.tr).empty());
  EXPECT_EQ(SNMTS_ucSnState, SNMTS_k_ST_PREOP);
  ASSERT_EQ(g_errors.size(), 1u);
  EXPECT_EQ(g_errors[0], (ErrorReport{r.code, r.info})) << std::hex << g_errors[0].code;
  u32 after = 0;
  ASSERT_TRUE(SERR_GetCommonStatCtr(SERR_k_NOT_PROCESSED, &after));
  EXPECT_EQ(after, notProcessed + 1);
}

INSTANTIATE_TEST_SUITE_P(Requests, SnmtsRefusal, ::testing::ValuesIn(k_refusals),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(Snmts, UdidRequestAndAssignmentAcceptAnyAddress) {
  ASSERT_TRUE(SNMTS_PerformTransPreOp(0));
  // No SADR yet: a UDID request with any ADR and SDN is answered.
  ParsedFrame f = One(Snmt(0x28, {}, 900, 901));
  EXPECT_EQ(f.id, 0x29);
  EXPECT_EQ(f.payload, k_ownUdid);
  EXPECT_EQ(f.adr, k_SCM_SADR);
  EXPECT_EQ(f.tadr, 900);
  EXPECT_EQ(f.sdn, 901);
  f = One(Snmt(0x2A, k_ownUdid, 900, 901));
  EXPECT_EQ(f.id, 0x2B);
  EXPECT_EQ(f.tadr, 900);
  EXPECT_EQ(f.sdn, 901);
  EXPECT_EQ(SNMTS_MainSadrGet(), 900);
  EXPECT_TRUE(g_errors.empty());
}

TEST_F(Snmts, UdidRequestAnsweredInEveryState) {
  for (u8 state : {0, 1, 2, 3, 4, 6, 7, 8, 9, 10, 11}) {
    SCOPED_TRACE(state);
    SNMTS_ucSnState = state;
    const ParsedFrame f = One(Snmt(0x28, {}, 300, 301));
    EXPECT_EQ(f.id, 0x29);
    EXPECT_EQ(f.payload, k_ownUdid);
    EXPECT_EQ(SNMTS_ucSnState, state);
  }
  EXPECT_TRUE(g_errors.empty());
}

TEST_F(Snmts, UdidRequestAnswersWhatTheObjectHolds) {
  g_v.ownUdid[0] = 0x99;
  EXPECT_EQ(One(Snmt(0x28, {})).payload, (Bytes{0x99, 0x12, 0x13, 0x14, 0x15, 0x16}));
}

TEST_F(Snmts, AssignmentTakesTwoStepsAndSetsSadrAndSdn) {
  ASSERT_TRUE(SNMTS_PerformTransPreOp(0));
  const ParsedFrame f = One(Snmt(0x2A, k_ownUdid, 12, 34));
  // frame, process (busy), process again, send
  EXPECT_EQ(steps, 4);
  EXPECT_EQ(f.id, 0x2B);
  EXPECT_EQ(f.payload, k_ownUdid);
  EXPECT_EQ(f.tadr, 12);
  EXPECT_EQ(f.sdn, 34);
  EXPECT_EQ(SNMTS_MainSadrGet(), 12);
  EXPECT_EQ(g_v.ownSadr, 12);
  EXPECT_EQ(g_v.sdn, 34);
  EXPECT_EQ(SNMTS_ucSnState, SNMTS_k_ST_WAIT_UDID);
}

TEST_F(Snmts, AssignmentInOperationalAnswersCurrentSadr) {
  ToOp();
  const ParsedFrame f = One(Snmt(0x2A, k_ownUdid, 9, k_SDN));
  EXPECT_EQ(steps, 4);
  EXPECT_EQ(f.id, 0x2B);
  EXPECT_EQ(f.tadr, k_SADR);
  EXPECT_EQ(SNMTS_MainSadrGet(), k_SADR);
  EXPECT_EQ(SNMTS_ucSnState, SNMTS_k_ST_OP);
}

TEST_F(Snmts, RefusedSadrWriteKeepsState) {
  ASSERT_TRUE(SNMTS_PerformTransPreOp(0));
  g_sw.refuseSadrWrite = true;
  EXPECT_TRUE(Snmt(0x2A, k_ownUdid, 12, 34).empty());
  EXPECT_EQ(SNMTS_ucSnState, SNMTS_k_ST_NO_SADR);
  EXPECT_EQ(SNMTS_MainSadrGet(), 0);
  // The current release's 0x1C00 is virtual; the older release's is a real entry.
  EXPECT_TRUE(StackTest::HasError(SCM_ProfileValue<u16>(0x2752, 0x2712)));
}

TEST_F(Snmts, ScmUdidCodesEveryLaterSsdoFrame) {
  ToPreOp();
  EXPECT_EQ(Bytes(g_v.scmUdid, g_v.scmUdid + 6), Bytes(k_SCM_UDID.begin(), k_SCM_UDID.end()));
  // Requests coded with the new UDID are accepted and answered coded with it.
  const ParsedFrame f = One(Ssdo({0x20, 0x00, 0x20, 0x03}));
  EXPECT_TRUE(f.ok);
  EXPECT_EQ(f.payload[0], 0x20);
  // A frame coded with the old UDID is refused by the frame checks.
  const u8 oldUdid[6] = {};
  EXPECT_TRUE(Feed(SsdoFrame({0x20, 0x00, 0x20, 0x03}, false, 0, 0, k_SADR, k_SDN, oldUdid)).empty());
}

TEST_F(Snmts, RefusedScmUdidWriteAnswersErrorUdid) {
  ToPreOp();
  SNMTS_ucSnState = SNMTS_k_ST_WAIT_UDID;
  ASSERT_TRUE(SOD_DisableSodWrite());
  const ParsedFrame f = One(Service({0x0E, 1, 2, 3, 4, 5, 6}));
  EXPECT_EQ(f.payload, (Bytes{0x0F, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(SNMTS_ucSnState, SNMTS_k_ST_WAIT_UDID);
  EXPECT_TRUE(StackTest::HasError(0x2707));
}

TEST_F(Snmts, RefusedScmUdidWriteInOperationalGoesToState1) {
  ToOp();
  ASSERT_TRUE(SOD_DisableSodWrite());
  const ParsedFrame f = One(Service({0x0E, 1, 2, 3, 4, 5, 6}));
  EXPECT_EQ(f.payload, (Bytes{0x0F, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(SNMTS_ucSnState, SNMTS_k_ST_NO_SADR);
}

TEST_F(Snmts, OperationalPathFollowsTheApplication) {
  ToOp();
  EXPECT_EQ(g_d.calcChkSum, 1);
  EXPECT_EQ(g_d.switchToOp, 1);
  u32 sn = 0;
  ASSERT_TRUE(SNMTS_GetSnState(&sn));
  EXPECT_EQ(sn, 2u);
  EXPECT_TRUE(g_errors.empty());
}

TEST_F(Snmts, ParametersNotProcessedStaysPreOpWithBusy) {
  ToPreOp();
  g_d.paramSetProcessed = false;
  EXPECT_EQ(One(Service(Cat({0x02}, Le32(k_TIMESTAMP)))).payload, (Bytes{0x09}));
  EXPECT_EQ(SNMTS_ucSnState, SNMTS_k_ST_PREOP);
  EXPECT_EQ(g_d.calcChkSum, 0);
}

TEST_F(Snmts, TimestampMismatchGivesSnFail41) {
  ToPreOp();
  g_v.timestamp = k_TIMESTAMP;
  ASSERT_EQ(One(Service(Cat({0x02}, Le32(k_TIMESTAMP + 1)))).payload, (Bytes{0x09}));
  ASSERT_TRUE(SNMTS_PassParamChkSumValid(true));
  ClearErrors();
  const ParsedFrame f = One(Service(Cat({0x02}, Le32(k_TIMESTAMP + 1))));
  EXPECT_EQ(f.payload, (Bytes{0x07, 4, 1}));
  EXPECT_EQ(SNMTS_ucSnState, SNMTS_k_ST_PREOP);
  EXPECT_EQ(NewErrors(), (std::vector<ErrorReport>{{0x2647, k_TIMESTAMP}}));
}

TEST_F(Snmts, ApplicationRefusalGivesSnFailWithItsCodes) {
  ToPreOp();
  SNMTS_ucSnState = SNMTS_k_ST_WAIT_APP;
  EXPECT_FALSE(SNMTS_EnterOpState(false, 4, 9));
  EXPECT_TRUE(StackTest::HasError(0xF606));
  EXPECT_EQ(SNMTS_ucSnState, SNMTS_k_ST_WAIT_APP);
  EXPECT_TRUE(SNMTS_EnterOpState(false, 3, 9));
  EXPECT_EQ(One(Service(Cat({0x02}, Le32(0)))).payload, (Bytes{0x07, 3, 9}));
  EXPECT_EQ(SNMTS_ucSnState, SNMTS_k_ST_PREOP);
}

TEST_F(Snmts, ErrorAcknowledgeIsNeverAnswered) {
  ToPreOp();
  SNMTS_ucSnState = SNMTS_k_ST_CHKSUM_OK;
  ASSERT_EQ(One(Service(Cat({0x02}, Le32(0)))).payload, (Bytes{0x07, 4, 1}));
  ClearErrors();
  // A different group/code: refused, the SN FAIL stays remembered.
  EXPECT_TRUE(Service({0x0C, 4, 2}).empty());
  EXPECT_EQ(NewErrors(), (std::vector<ErrorReport>{{0x264B, 0x04010402}}));
  EXPECT_EQ(g_d.errorAck, 0);
  // The matching acknowledge reaches the application, still without an answer.
  EXPECT_TRUE(Service({0x0C, 4, 1}).empty());
  EXPECT_EQ(g_d.errorAck, 1);
  EXPECT_TRUE(NewErrors().empty());
  // A repeated acknowledge finds no SN FAIL.
  EXPECT_TRUE(Service({0x0C, 4, 1}).empty());
  EXPECT_EQ(NewErrors(), (std::vector<ErrorReport>{{0x264C, 0}}));
  EXPECT_EQ(SNMTS_ucSnState, SNMTS_k_ST_PREOP);
  EXPECT_LE(StackTest::MaxErrorCode(), 0x3FFF);
}

TEST_F(Snmts, SnFailMemoryHoldsTheLastOnly) {
  if constexpr (SCM_kLegacy) {
    GTEST_SKIP() << "the older release answers no unexpected event with an SN FAIL";
  }
  ToPreOp();
  SNMTS_ucSnState = SNMTS_k_ST_CHKSUM_OK;
  ASSERT_EQ(One(Service(Cat({0x02}, Le32(0)))).payload, (Bytes{0x07, 4, 1}));
  SNMTS_ucSnState = SNMTS_k_ST_WAIT_CHKSUM;
  ASSERT_EQ(One(Service({0x10, 1, 2, 3, 4, 5})).payload, (Bytes{0x07, 4, 4}));
  SNMTS_ucSnState = SNMTS_k_ST_PREOP;
  ClearErrors();
  EXPECT_TRUE(Service({0x0C, 4, 1}).empty());
  EXPECT_EQ(NewErrors(), (std::vector<ErrorReport>{{0x264B, 0x04040401}}));
  EXPECT_TRUE(Service({0x0C, 4, 4}).empty());
  EXPECT_EQ(g_d.errorAck, 1);
}

TEST_F(Snmts, UnexpectedEventAnswersSnFail44AndGoesToState1) {
  if constexpr (SCM_kLegacy) {
    GTEST_SKIP() << "the older release makes an unexpected event fatal (next test)";
  }
  ToPreOp();
  SNMTS_ucSnState = SNMTS_k_ST_WAIT_CHKSUM;
  ClearErrors();
  EXPECT_EQ(One(Service({0x10, 1, 2, 3, 4, 5})).payload, (Bytes{0x07, 4, 4}));
  EXPECT_EQ(NewErrors(), (std::vector<ErrorReport>{{0x2632, 10}}));
  EXPECT_EQ(SNMTS_ucSnState, SNMTS_k_ST_NO_SADR);
  // The SN FAIL is remembered for an acknowledge.
  SNMTS_ucSnState = SNMTS_k_ST_PREOP;
  EXPECT_TRUE(Service({0x0C, 4, 4}).empty());
  EXPECT_EQ(g_d.errorAck, 1);
}

TEST_F(Snmts, OlderReleaseMakesAnExtendedCtRequestInPreOpFatalUnansweredAndKeepsTheState) {
  if constexpr (!SCM_kLegacy) {
    GTEST_SKIP() << "the current release takes the extended CT";
  }
  ToPreOp();
  ClearErrors();
  EXPECT_TRUE(Service({0x10, 1, 2, 3, 4, 5}).empty());
  EXPECT_EQ(NewErrors(), (std::vector<ErrorReport>{{0xF62C, 10}}));
  EXPECT_EQ(SNMTS_ucSnState, SNMTS_k_ST_PREOP);
  EXPECT_EQ(SPDO_GetExtCt()->ucInit, 0);
}

TEST_F(Snmts, ExtendedCtPassesItsFortyBits) {
  if constexpr (SCM_kLegacy) {
    GTEST_SKIP() << "the older release has no extended CT";
  }
  ToPreOp();
  const ParsedFrame f = One(Service({0x10, 0x01, 0x02, 0x03, 0x04, 0x85}));
  EXPECT_EQ(f.payload, (Bytes{0x11, 0x01, 0x02, 0x03, 0x04, 0x85}));
  EXPECT_EQ(SPDO_GetExtCt()->ullInitial, 0x8504030201ull);
  EXPECT_EQ(SPDO_GetExtCt()->ucInit, 1);
}

TEST_F(Snmts, ScmServicesActOnTheScmAndSendNothing) {
  ToPreOp();
  u32 notProcessed = 0;
  ASSERT_TRUE(SERR_GetCommonStatCtr(SERR_k_NOT_PROCESSED, &notProcessed));
  EXPECT_TRUE(Service({0x04}).empty());
  EXPECT_EQ(g_d.scmDeactivate, 1);
  EXPECT_TRUE(Service({0x06}).empty());
  EXPECT_EQ(g_d.scmActivate, 1);
  u32 after = 0;
  ASSERT_TRUE(SERR_GetCommonStatCtr(SERR_k_NOT_PROCESSED, &after));
  EXPECT_EQ(after, notProcessed);
  // A failed activation is counted by the dispatcher, still without an answer.
  g_d.scmActivateResult = false;
  EXPECT_TRUE(Service({0x06}).empty());
  ASSERT_TRUE(SERR_GetCommonStatCtr(SERR_k_NOT_PROCESSED, &after));
  EXPECT_EQ(after, notProcessed + 1);
  EXPECT_TRUE(g_errors.empty());
}

TEST_F(Snmts, AdditionalSadrIsAnsweredWithSadrZero) {
  ToPreOp();
  const ParsedFrame f = One(Service({0x0A, 0x21, 0x03, 0x02, 0x00}));
  EXPECT_EQ(f.payload, (Bytes{0x05, 0, 0, 0x02, 0x00}));
  EXPECT_EQ(g_errors, (std::vector<ErrorReport>{{0x1611, 0}}));
}

TEST_F(Snmts, SnStateAsTheServerSeesIt) {
  const std::pair<u8, u32> k_cases[] = {{0, 0}, {1, 1}, {2, 1}, {3, 1}, {4, 1}, {6, 1},
                                        {7, 1}, {8, 1}, {9, 1}, {10, 2}, {11, 2}};
  for (const auto& [state, expected] : k_cases) {
    SNMTS_ucSnState = state;
    u32 out = 99;
    EXPECT_TRUE(SNMTS_GetSnState(&out));
    EXPECT_EQ(out, expected) << +state;
  }
  EXPECT_FALSE(SNMTS_GetSnState(nullptr));
  EXPECT_EQ(g_errors, (std::vector<ErrorReport>{{0xF61B, 0}}));
}

TEST_F(Snmts, InitFailsWhenAnObjectIsMissing) {
  UseTablesWithoutRedirect();
  ASSERT_TRUE(SSC_InitAll());
  // Without 0x1C00 neither module can start.
  DropRanges();
  StackTest::ResetFakes();
  EXPECT_FALSE(SSC_InitAll());
  EXPECT_EQ(g_errors.back(), (ErrorReport{0xF745, 0x06020000}));
}

}  // namespace
}  // namespace SlaveTest
