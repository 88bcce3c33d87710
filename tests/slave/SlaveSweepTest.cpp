// Robustness sweep: every SNMT service and every SSDO command, with fitting and
// wrong lengths, in every SN state and every transfer state. Whatever a peer
// sends, the dispatcher comes back to state 0 within a few steps, the node still
// answers, and no reported code is of the fatal kind (in the older release, where
// an event the SN state does not expect is fatal, none but those).
#include <algorithm>

#include "SlaveFixture.h"
#include "ScmProfile.h"

namespace SlaveTest {
namespace {

/// One swept frame.
struct SweepFrame {
  u8 id;          ///< frame id
  Bytes payload;  ///< payload
};

/// Transfer the server holds before the frame.
enum class Transfer : u8 {
  Idle,      ///< none
  Upload,    ///< segmented upload of 27 bytes, initiate answered
  Download   ///< segmented download of 27 bytes, initiate answered
};

/// The older release's fatal codes of an event an SN state does not expect (states 0 to 11 but 5).
constexpr u16 k_UNEXPECTED[] = {0xF61D, 0xF623, 0xF625, 0xF62A, 0xF62C, 0xF632,
                                0xF636, 0xF63A, 0xF63E, 0xF641, 0xF642};

/// The own UDID's bytes.
const Bytes k_ownUdid(k_OWN_UDID.begin(), k_OWN_UDID.end());

/// Every swept frame.
std::vector<SweepFrame> Frames() {
  std::vector<SweepFrame> out;
  out.push_back({0x28, {}});
  out.push_back({0x28, {0}});
  out.push_back({0x2A, k_ownUdid});
  out.push_back({0x2A, Bytes(k_ownUdid.begin(), k_ownUdid.end() - 1)});
  out.push_back({0x2A, {9, 9, 9, 9, 9, 9}});
  out.push_back({0x2E, {0}});
  out.push_back({0x2C, {}});
  // Each service with every length from 1 to 8: the right one and wrong ones.
  for (u8 service = 0; service <= 0x12; ++service) {
    for (u8 le = 1; le <= 8; ++le) {
      Bytes p(le, 0);
      p[0] = service;
      if (le > 2) {
        p[1] = 4;
        p[2] = 4;
      }
      out.push_back({0x2C, p});
    }
  }
  // every command the protocol knows, and a few it does not
  const u8 k_commands[] = {0x00, 0x04, 0x08, 0x18, 0x48, 0x58, 0x09, 0x19, 0x0B, 0x1B,
                           0x49, 0x59, 0x20, 0x21, 0x28, 0x29, 0x2B, 0x30, 0x14, 0xFF};
  for (u8 cmd : k_commands) {
    for (u8 le : {1, 2, 3, 4, 5, 8, 9, 12}) {
      Bytes p = Cat({cmd, 0x00, 0x20, 0x02}, Cat(Le32(27), Bytes(8, 0x41)));
      p.resize(le);
      out.push_back({0x38, p});
    }
    for (u8 le : {4, 12, 13, 22, 23}) {
      Bytes p = Cat({cmd, 0x00, 0x20, 0x02}, Cat(Le32(27), Bytes(19, 0x42)));
      p.resize(le);
      out.push_back({0x3A, p});
    }
  }
  return out;
}

class SlaveSweep : public SlaveFixture, public ::testing::WithParamInterface<std::tuple<u8, Transfer>> {
 protected:
  void Prepare(u8 snState, Transfer transfer) {
    SetUp();
    if (snState >= SNMTS_k_ST_OP) {
      ToOp();
    } else {
      ToPreOp();
    }
    // Transfers are opened in PRE-OPERATIONAL, where every object may be written.
    SNMTS_ucSnState = SNMTS_k_ST_PREOP;
    if (transfer == Transfer::Upload) {
      g_v.str27Var.ulActLen = 27;
      ASSERT_EQ(One(Ssdo({0x20, 0x00, 0x20, 0x02})).payload[0], 0x28);
    } else if (transfer == Transfer::Download) {
      ASSERT_EQ(One(Ssdo(Cat(Cat({0x29, 0x00, 0x20, 0x02}, Le32(27)), {0x41, 0x42, 0x43, 0x44}))).payload[0], 0x29);
    }
    SNMTS_ucSnState = snState;
  }

  std::vector<ParsedFrame> Send(const SweepFrame& f) {
    if (TestFrames::IsSnmtId(f.id)) {
      return Snmt(f.id, f.payload);
    }
    return Ssdo(f.payload, f.id == 0x3A);
  }
};

TEST_P(SlaveSweep, NoFatalCodeNoHang) {
  const auto [snState, transfer] = GetParam();
  const std::vector<SweepFrame> frames = Frames();
  for (size_t i = 0; i < frames.size(); ++i) {
    Prepare(snState, transfer);
    if (HasFatalFailure()) {
      return;
    }
    const SweepFrame& f = frames[i];
    SCOPED_TRACE(::testing::Message() << "frame " << i << " id " << std::hex << +f.id << " LE " << std::dec
                                      << f.payload.size());
    const std::vector<ParsedFrame> sent = Send(f);
    EXPECT_LE(sent.size(), 1u);
    EXPECT_LE(steps, 4);
    u8 budget = 5;
    SNMTS_TimerCheck(1, &budget);
    // The node still answers afterwards.
    EXPECT_EQ(One(Snmt(0x28, {})).id, 0x29);
    if constexpr (SCM_kLegacy) {
      for (const ErrorReport& e : g_errors) {
        ASSERT_TRUE(e.code <= 0x3FFF || std::find(std::begin(k_UNEXPECTED), std::end(k_UNEXPECTED), e.code) !=
                                            std::end(k_UNEXPECTED))
            << std::hex << e.code;
      }
    } else {
      ASSERT_LE(StackTest::MaxErrorCode(), 0x3FFF) << std::hex << StackTest::MaxErrorCode();
    }
  }
}

std::string SweepName(const ::testing::TestParamInfo<std::tuple<u8, Transfer>>& info) {
  static const char* const k_transfer[] = {"Idle", "Upload", "Download"};
  return "State" + std::to_string(std::get<0>(info.param)) + "_" +
         k_transfer[static_cast<int>(std::get<1>(info.param))];
}

INSTANTIATE_TEST_SUITE_P(StatesByTransfers, SlaveSweep,
                         ::testing::Combine(::testing::Values(0, 1, 2, 3, 4, 6, 7, 8, 9, 10, 11),
                                            ::testing::Values(Transfer::Idle, Transfer::Upload, Transfer::Download)),
                         SweepName);

}  // namespace
}  // namespace SlaveTest
