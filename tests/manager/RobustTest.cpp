// No remote shutdown: every kind of answer a node can give in every waiting
// state, legal or malformed, leaves no fail-safe code and no parked node, and
// a later correct answer lets the node finish.
#include <functional>

#include "ScmProfile.h"
#include "ManagerFixture.h"

namespace MgrTest {
namespace {

/// Request kinds the SCM waits on.
enum class Target : u8 { Assign, UdidReq, ScmUdid, ExtCt, Vendor, Product, Revision, Checksum, PreOp, Download, AddSadr, Op, Guard };

const char* Name(Target t) {
  switch (t) {
    case Target::Assign: return "Assign";
    case Target::UdidReq: return "UdidReq";
    case Target::Product: return "Product";
    case Target::Revision: return "Revision";
    case Target::AddSadr: return "AddSadr";
    case Target::ScmUdid: return "ScmUdid";
    case Target::ExtCt: return "ExtCt";
    case Target::Vendor: return "Vendor";
    case Target::Checksum: return "Checksum";
    case Target::PreOp: return "PreOp";
    case Target::Download: return "Download";
    case Target::Op: return "Op";
    default: return "Guard";
  }
}

bool IsSsdo(Target t) {
  return t == Target::Vendor || t == Target::Product || t == Target::Revision || t == Target::Checksum ||
         t == Target::Download;
}

/// True when the request is the one the target names.
bool Hits(Target t, const ParsedFrame& r) {
  const u8 b0 = r.payload.empty() ? 0xFF : r.payload[0];
  switch (t) {
    case Target::Assign: return r.id == 0x2A;
    case Target::UdidReq: return r.id == 0x28;
    case Target::Product: return r.id == 0x38 && b0 == 0x20 && r.payload[3] == 2;
    case Target::Revision: return r.id == 0x38 && b0 == 0x20 && r.payload[3] == 3;
    case Target::AddSadr: return r.id == 0x2C && b0 == 0x0A;
    case Target::ScmUdid: return r.id == 0x2C && b0 == 0x0E;
    case Target::ExtCt: return r.id == 0x2C && b0 == 0x10;
    case Target::Vendor: return r.id == 0x38 && b0 == 0x20 && r.payload[3] == 1;
    case Target::Checksum: return r.id == 0x38 && b0 == 0x20 && r.payload[3] == 6;
    case Target::PreOp: return r.id == 0x2C && b0 == 0x00;
    case Target::Download: return r.id == 0x3A && (b0 == (SCM_kLegacy ? 0x29 : 0x2B) || b0 == 0x21);
    case Target::Op: return r.id == 0x2C && b0 == 0x02;
    default: return r.id == 0x2C && b0 == 0x08;
  }
}

/// A way to spoil the ideal answers; false when it does not apply to the target.
struct Mutation {
  const char* name;  ///< what is wrong
  bool snmt;         ///< applies to SNMT answers
  bool ssdo;         ///< applies to SSDO answers
  u32 delay;         ///< extra cycles
  std::function<void(std::vector<FrameSpec>&)> spoil;  ///< changes the answers
};

void Each(std::vector<FrameSpec>& a, const std::function<void(FrameSpec&)>& f) {
  for (FrameSpec& s : a) {
    f(s);
  }
}

const std::vector<Mutation>& Mutations() {
  static const std::vector<Mutation> k = {
      {"EvenCode", true, false, 0, [](auto& a) { Each(a, [](FrameSpec& s) { if (!s.payload.empty()) s.payload[0] &= 0xFE; }); }},
      {"UnnamedCode", true, false, 0, [](auto& a) { Each(a, [](FrameSpec& s) { if (!s.payload.empty()) s.payload[0] = 0x13; }); }},
      {"AddSadrCode", true, false, 0, [](auto& a) { Each(a, [](FrameSpec& s) { s.payload = {0x05, 0, 0, 0, 0}; }); }},
      {"SnFail41", true, false, 0, [](auto& a) { Each(a, [](FrameSpec& s) { if (s.id == 0x2D) s.payload = {0x07, 4, 1}; }); }},
      {"SnFail44", true, false, 0, [](auto& a) { Each(a, [](FrameSpec& s) { if (s.id == 0x2D) s.payload = {0x07, 4, 4}; }); }},
      {"Truncated", true, true, 0, [](auto& a) { Each(a, [](FrameSpec& s) { if (!s.payload.empty()) s.payload.pop_back(); }); }},
      {"Longer", true, true, 0, [](auto& a) { Each(a, [](FrameSpec& s) { s.payload.push_back(0x5A); }); }},
      {"Empty", true, true, 0, [](auto& a) { Each(a, [](FrameSpec& s) { s.payload.clear(); }); }},
      {"Late", true, true, 45, [](auto&) {}},
      {"Duplicated", true, true, 0, [](auto& a) { if (!a.empty()) a.push_back(a[0]); }},
      {"OtherSadr", true, true, 0, [](auto& a) { Each(a, [](FrameSpec& s) { s.tadr = 77; }); }},
      {"NotForTheScm", true, true, 0, [](auto& a) { Each(a, [](FrameSpec& s) { s.adr = 2; }); }},
      {"OtherDomain", true, true, 0, [](auto& a) { Each(a, [](FrameSpec& s) { s.sdn = 2; }); }},
      {"TrNotZero", true, true, 0, [](auto& a) { Each(a, [](FrameSpec& s) { s.tr = 1; }); }},
      {"CtNotZero", true, false, 0, [](auto& a) { Each(a, [](FrameSpec& s) { s.ct = 3; }); }},
      {"WrongCommand", false, true, 0, [](auto& a) { Each(a, [](FrameSpec& s) { if (!s.payload.empty()) s.payload[0] ^= 0x01; }); }},
      {"Toggle", false, true, 0, [](auto& a) { Each(a, [](FrameSpec& s) { if (!s.payload.empty()) s.payload[0] |= 0x10; }); }},
      {"OtherIndex", false, true, 0, [](auto& a) { Each(a, [](FrameSpec& s) { if (s.payload.size() > 1) s.payload[1] ^= 0x01; }); }},
      {"OtherSaNo", false, true, 0, [](auto& a) { Each(a, [](FrameSpec& s) { ++s.ct; }); }},
      {"AbortZero", false, true, 0, [](auto& a) { Each(a, [](FrameSpec& s) { s.payload = {0x04, 0x18, 0x10, 0x01, 0, 0, 0, 0}; }); }},
      {"AbortCode", false, true, 0, [](auto& a) { Each(a, [](FrameSpec& s) { s.payload = {0x04, 0x18, 0x10, 0x01, 0x22, 0, 0, 8}; }); }},
      {"SnmtAnswerToSsdo", false, true, 0, [](auto& a) { Each(a, [](FrameSpec& s) { s.id = 0x2D; s.ct = 0; s.payload = {0x03}; }); }},
      {"SsdoAnswerToSnmt", true, false, 0, [](auto& a) { Each(a, [](FrameSpec& s) { s.id = 0x39; s.payload = {0x20, 0x18, 0x10, 0x01, 1, 2, 3, 4}; }); }},
  };
  return k;
}

struct RobustCase {
  Target target;  ///< the request whose answer is spoilt
  std::size_t m;  ///< index into Mutations()
};

std::vector<RobustCase> AllCases() {
  std::vector<RobustCase> v;
  for (Target t : {Target::Assign, Target::UdidReq, Target::ScmUdid, Target::ExtCt, Target::Vendor, Target::Product,
                   Target::Revision, Target::Checksum, Target::PreOp, Target::Download, Target::AddSadr, Target::Op,
                   Target::Guard}) {
    if (SCM_kLegacy && t == Target::ExtCt) {
      continue;  // the older release has no extended CT
    }
    for (std::size_t m = 0; m < Mutations().size(); ++m) {
      if (SCM_kLegacy && t == Target::Op && std::string(Mutations()[m].name) == "SnFail44") {
        continue;  // the older release waits for the acknowledge of 4/4 (LegacyScm)
      }
      if (IsSsdo(t) ? Mutations()[m].ssdo : Mutations()[m].snmt) {
        v.push_back({t, m});
      }
    }
  }
  return v;
}

class Robust : public ManagerFixture, public ::testing::WithParamInterface<RobustCase> {};

TEST_P(Robust, NoFailSafeCodeAndTheNodeFinishes) {
  const RobustCase& c = GetParam();
  const Mutation& mut = Mutations()[c.m];
  g_v.guardTime = 300;
  SimNode& node = AddNode(0, 5);
  g_v.nodes[0].flags = c.target == Target::ExtCt ? 0x2 : 0;
  if (c.target == Target::PreOp || c.target == Target::Download || c.target == Target::AddSadr) {
    g_v.addMain[7] = 5;
    g_v.addTx[7] = 70;
    node.objects[Key(0x1018, 6)] = {9, 9, 9, 9};
    g_v.nodes[0].chkVar.ulActLen = 4;
    g_v.nodes[0].paramLen = 40;
    g_v.nodes[0].paramVar.ulActLen = 40;
  }
  int hits = 0;
  ScriptedPeer* p = &peer;
  int assigns = 0;
  node.script = [&](SimNode& n, const ParsedFrame& r) {
    // the UDID request follows only an assignment that went unanswered
    if (c.target == Target::UdidReq && r.id == 0x2A && assigns++ < 3) {
      return Action{Action::Silent, {}, 0};
    }
    if (!Hits(c.target, r) || hits++ != 0) {
      return Action{};
    }
    Action a{Action::Replace, p->IdealAnswers(n, r), mut.delay};
    mut.spoil(a.frames);
    return a;
  };
  ASSERT_TRUE(SCM_Activate());
  // A UDID answer with other bytes is a UDID mismatch: the operator confirms it, as the application would.
  const auto until = [this](u32 state, u32 n) {
    for (u32 i = 0; i < n && Node(0).ulState != state; ++i) {
      if (Node(0).ulState == SCM_StateNo(5)) {
        EXPECT_EQ(SCM_OperatorAck(0), 1);
      }
      (void)Cycle();
    }
    return Node(0).ulState == state;
  };
  bool ok = until(SCM_StateNo(22), 400);
  // two guard rounds: the spoilt answer to the first guard request restarts the node at worst
  for (int round = 0; round < 2 && ok; ++round) {
    ok = until(SCM_StateNo(23), 80) && until(SCM_StateNo(22), 400);
  }
  EXPECT_TRUE(ok) << "state " << Node(0).ulState << " " << Errors();
  EXPECT_GE(hits, 1);
}

INSTANTIATE_TEST_SUITE_P(EveryAnswer, Robust, ::testing::ValuesIn(AllCases()),
                         [](const ::testing::TestParamInfo<RobustCase>& i) {
                           return std::string(Name(i.param.target)) + "_" + Mutations()[i.param.m].name;
                         });

TEST_F(ManagerFixture, ActivationFromTheNetworkWhileTransfersRun) {
  g_v.guardTime = 300;
  AddNode(0, 5);
  SimNode& slow = AddNode(1, 6);
  slow.script = [](SimNode&, const ParsedFrame& r) {
    return r.id == 0x38 ? Action{Action::Default, {}, 5} : Action{};
  };
  ASSERT_TRUE(SCM_Activate());
  for (int k = 0; k < 6; ++k) {
    Run(7);
    ASSERT_TRUE(SCM_Activate());  // service 0x06 from the network
  }
  EXPECT_TRUE(RunUntilState(0, SCM_StateNo(22), 300)) << Errors();
  EXPECT_TRUE(RunUntilState(1, SCM_StateNo(22), 300)) << Errors();
  EXPECT_FALSE(HasError(0xFA28));
}

TEST_F(ManagerFixture, StaleAnswersReplayedLaterAreAbsorbed) {
  g_v.guardTime = 300;
  SimNode& node = AddNode(0, 5);
  std::vector<Bytes> replay;
  ScriptedPeer* p = &peer;
  node.script = [&](SimNode& n, const ParsedFrame& r) {
    for (const FrameSpec& s : p->IdealAnswers(n, r)) {
      replay.push_back(TestFrames::BuildFrame(TestFrames::WithFirmwareCoding(s, p->scmUdid)));
    }
    return Action{};
  };
  ASSERT_TRUE(SCM_Activate());
  ASSERT_TRUE(RunUntilState(0, SCM_StateNo(22), 100));
  node.script = nullptr;
  for (const Bytes& b : replay) {
    inbox.emplace_back(cycle, b);
  }
  Run(5);
  EXPECT_TRUE(RunUntilState(0, SCM_StateNo(22), 200)) << Errors();
}

}  // namespace
}  // namespace MgrTest
