// The configuration manager beside the real own node: the SCM services that
// reach it from the network (0x06 set to operational, 0x04 stop) while its
// transfers run.
#include "ManagerFixture.h"
#include "SNMTS.h"
#include "SSDOS.h"

bool SAPL_SNMTS_ParameterSetProcessed() { return true; }
void SAPL_SNMTS_CalcParamChkSumClbk() {}
void SAPL_SNMTS_SwitchToOpReqClbk() {}
void SAPL_SNMTS_ErrorAckClbk() {}

namespace MgrTest {
namespace {

class SlaveLink : public ManagerFixture {
 protected:
  void SetUp() override {
    ManagerFixture::SetUp();
    g_v.ownSadr = g_v.scmSadr;
    ASSERT_TRUE(SNMTS_Init()) << Errors();
    ASSERT_TRUE(SSDOS_Init()) << Errors();
  }
  /// An SCM service request (0x04 or 0x06) from another node to the own node.
  void ScmService(u8 service) {
    FrameSpec s;
    s.id = 0x2C;
    s.adr = g_v.scmSadr;
    s.sdn = g_v.sdn;
    s.tadr = 200;
    s.payload = {service};
    inbox.emplace_back(cycle, TestFrames::BuildFrame(s));
  }
};

TEST_F(SlaveLink, SetToOperationalFromTheNetworkWhileTransfersRunRestartsTheNodes) {
  g_v.guardTime = 300;
  AddNode(0, 5);
  SimNode& slow = AddNode(1, 6);
  slow.script = [](SimNode&, const ParsedFrame& r) {
    return r.id == 0x38 ? Action{Action::Default, {}, 4} : Action{};
  };
  ASSERT_TRUE(SCM_Activate());
  for (int k = 0; k < 4; ++k) {
    Run(6);
    ScmService(0x06);
    Run(1);
    EXPECT_LE(Node(0).ulState, SCM_StateNo(1));  // every node started again
    EXPECT_LE(Node(1).ulState, SCM_StateNo(1));
  }
  EXPECT_FALSE(HasError(0x1617)) << Errors();  // the own node took the requests
  EXPECT_TRUE(RunUntilState(0, SCM_StateNo(22), 300)) << Errors();
  EXPECT_TRUE(RunUntilState(1, SCM_StateNo(22), 300)) << Errors();
  EXPECT_FALSE(HasError(0xFA28));
}

TEST_F(SlaveLink, StopFromTheNetworkFreezesTheNodes) {
  AddNode(0, 5);
  ASSERT_TRUE(SCM_Activate());
  Run(3);
  ScmService(0x04);
  Run(2);
  const std::size_t sent = g_fakes.sent.size();
  const u32 state = Node(0).ulState;
  Run(50);
  EXPECT_EQ(Node(0).ulState, state);
  EXPECT_LE(g_fakes.sent.size(), sent + 3);  // at most the masters' repetitions and time-outs
  ScmService(0x06);
  EXPECT_TRUE(RunUntilState(0, SCM_StateNo(22), 200)) << Errors();
}

}  // namespace
}  // namespace MgrTest
