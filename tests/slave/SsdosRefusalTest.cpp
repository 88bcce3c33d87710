// SSDO server refusals: one row per request, the abort code it draws (or no
// answer) and the error it reports, in each transfer state.
#include "SlaveFixture.h"
#include "ScmProfile.h"

namespace SlaveTest {
namespace {

/// Command byte, index (low byte first) and sub-index.
Bytes Cmd(u8 cmd, u16 index, u8 sub) { return {cmd, static_cast<u8>(index), static_cast<u8>(index >> 8), sub}; }
/// n printable bytes.
Bytes Fill(size_t n) { return Bytes(n, 0x41); }

/// Transfer the server holds before the row's request.
enum class Pre : u8 {
  Idle,        ///< state 0
  Upload27,    ///< segmented upload of 27 bytes initiated (state 4, toggle 1)
  Download27,  ///< segmented download of 27 bytes, 4 written (state 2, toggle 1)
  Download9    ///< segmented download of 9 bytes, 4 written (state 2, toggle 1)
};

/// Condition set up before the request.
enum class Set : u8 {
  None,              ///< nothing
  RefuseVirtRead,    ///< 0x3000 refuses service 1
  RefuseRead,        ///< the domain's before-read refuses
  RefuseVirtWrite,   ///< 0x3000 refuses service 2
  RefuseAfterWrite,  ///< the domain's after-write refuses
  WriteDisabled,     ///< dictionary write access disabled
  Locked,            ///< dictionary locked by another user
  SnOperational,     ///< SN state 10
  SnInit             ///< SN state 0
};

struct Row {
  const char* name;   ///< what is refused
  Pre pre;            ///< transfer before
  Set set;            ///< condition
  Bytes request;      ///< request payload
  u8 tr;              ///< request TR
  u32 abortCode;      ///< abort code answered, 0: no answer
  u16 code;           ///< first error reported, 0: none
  u32 info;           ///< its info
  bool slim = false;  ///< sent as a slim request
};

constexpr u32 k_CB = 0x08000020;  ///< abort code of the refusing callbacks

/// The refusals.
const Row k_rows[] = {
    // refusals at entry and of the initiate
    {"TrNotZero", Pre::Idle, Set::None, Cmd(0x20, 0x2000, 3), 1, 0, 0x2B02, 1},
    {"LeBelow4", Pre::Idle, Set::None, {0x20, 0x00, 0x20}, 0, 0, 0x2B08, 3},
    // normal frames above LE 12 are refused by the dispatcher's 37-byte limit already
    {"SlimLeAbove22", Pre::Idle, Set::None, Cat(Cmd(0x21, 0x2000, 2), Fill(19)), 0, 0, 0x2B08, 23, true},
    {"AbortIdle", Pre::Idle, Set::None, Cat(Cmd(0x04, 0x2000, 3), Le32(0x05040000)), 0, 0, 0x2B04, 0x05040000},
    {"AbortLe7", Pre::Idle, Set::None, Cat(Cmd(0x04, 0x2000, 3), {0, 0, 0}), 0, 0, 0x2B06, 7},
    {"UploadLe5", Pre::Idle, Set::None, Cat(Cmd(0x20, 0x2000, 3), {0}), 0, 0, 0x2B05, 5},
    {"UnknownCommand", Pre::Idle, Set::None, Cmd(0x30, 0x2000, 3), 0, 0x05040001, 0x2B07, 0x30},
    {"AnnouncedSizeBeyondObject", Pre::Idle, Set::None, Cat(Cat(Cmd(0x29, 0x2000, 1), Le32(10)), Fill(4)), 0,
     0x05040002, 0x2B10, 0x05040002},
    {"UploadWithoutReadAccess", Pre::Idle, Set::None, Cmd(0x20, 0x2000, 9), 0, 0x06010001, 0, 0},
    {"DownloadReadOnly", Pre::Idle, Set::None, Cat(Cmd(0x21, 0x2000, 4), {0x99, 0x99}), 0, 0x06010002, 0x270B,
     0x06010002},
    {"DownloadConstant", Pre::Idle, Set::None, Cat(Cmd(0x21, 0x2000, 5), {7}), 0, 0x06010002, 0x270B, 0x06010002},
    {"MissingObject", Pre::Idle, Set::None, Cmd(0x20, 0x4000, 0), 0, 0x06020000, 0, 0},
    {"MissingSubIndex", Pre::Idle, Set::None, Cmd(0x20, 0x2000, 40), 0, 0x06090011, 0, 0},
    {"MissingVirtualSubIndex", Pre::Idle, Set::None, Cmd(0x20, 0x1C00, 9), 0, 0x06090011, 0, 0},
    {"ExpeditedLengthMismatch", Pre::Idle, Set::None, Cat(Cmd(0x21, 0x2000, 3), {1, 2}), 0, 0x06070010, 0x2B0E,
     0x06070010},
    {"ExpeditedStringTooLong", Pre::Idle, Set::None, Cat(Cmd(0x21, 0x2000, 8), Fill(7)), 0, 0x06070010, 0x2B0F,
     0x06070010},
    {"SegmentedLeBelow8", Pre::Idle, Set::None, Cat(Cmd(0x29, 0x2000, 2), {27, 0}), 0, 0x06070010, 0x2B11,
     0x06070010},
    // a preload initiate: the older release has no preload and refuses the command itself
    SCM_kLegacy ? Row{"SegmentedFixedType", Pre::Idle, Set::None, Cat(Cat(Cmd(0x2B, 0x2000, 7), Le32(8)), Fill(4)), 0,
                      0x05040001, 0x2B07, 0x2B}
                : Row{"SegmentedFixedType", Pre::Idle, Set::None, Cat(Cat(Cmd(0x2B, 0x2000, 7), Le32(8)), Fill(4)), 0,
                      0x06070010, 0x2B0E, 0x06070010},
    {"InvalidCharacter", Pre::Idle, Set::None, Cat(Cmd(0x21, 0x2000, 2), {0x41, 0x7F}), 0, 0x06090030, 0x270C,
     0x06090030},
    {"AboveRange", Pre::Idle, Set::None, Cat(Cmd(0x21, 0x2000, 10), {200, 0}), 0, 0x06090031, 0x270D, 0x06090031},
    {"BelowRange", Pre::Idle, Set::None, Cat(Cmd(0x21, 0x2000, 10), {5, 0}), 0, 0x06090032, 0x270E, 0x06090032},
    {"AboveVirtualRange", Pre::Idle, Set::None, Cat(Cmd(0x21, 0x1C00, 1), {0x00, 0x08}), 0, 0x06090031, 0x270D,
     0x06090031},
    {"RealBeforeReadRefused", Pre::Idle, Set::RefuseRead, Cmd(0x20, 0x2000, 6), 0, k_CB, 0, 0},
    {"AfterWriteRefused", Pre::Idle, Set::RefuseAfterWrite, Cat(Cmd(0x21, 0x2000, 6), {1}), 0, k_CB, 0x2713, k_CB},
    {"WriteDisabled", Pre::Idle, Set::WriteDisabled, Cat(Cmd(0x21, 0x2000, 3), Le32(1)), 0, 0x08000022, 0x2B17,
     0x08000022},
    {"LockedSegmented", Pre::Idle, Set::Locked, Cat(Cat(Cmd(0x29, 0x2000, 2), Le32(0)), Fill(4)), 0, 0x08000022,
     0x2B18, 0x08000022},
    {"NotPreOperational", Pre::Idle, Set::SnOperational, Cat(Cmd(0x21, 0x2000, 3), Le32(1)), 0, 0x08000022, 0x2B19,
     0x08000022},
    {"Initialisation", Pre::Idle, Set::SnInit, Cat(Cmd(0x21, 0x2000, 3), Le32(1)), 0, 0x08000022, 0x2B19, 0x08000022},
    // upload segments
    {"UpSegLeBelow4", Pre::Upload27, Set::None, {0x18, 0x00, 0x20}, 0, 0x06070010, 0x2B0C, 0x06070010},
    {"UpSegSlimLeAbove22", Pre::Upload27, Set::None, Cat(Cmd(0x18, 0x2000, 2), Fill(19)), 0, 0x06070010, 0x2B0C,
     0x06070010, true},
    {"UpSegLe5", Pre::Upload27, Set::None, Cat(Cmd(0x18, 0x2000, 2), {0}), 0, 0x06070010, 0x2B0D, 0x06070010},
    {"UpSegWrongToggle", Pre::Upload27, Set::None, Cmd(0x08, 0x2000, 2), 0, 0, 0x2B16, 0},
    {"UpSegWrongIndex", Pre::Upload27, Set::None, Cmd(0x18, 0x2001, 2), 0, 0, 0x2B15, 0},
    {"UpAbortWrongIndex", Pre::Upload27, Set::None, Cat(Cmd(0x04, 0x2000, 1), Le32(1)), 0, 0, 0x2B15, 0},
    {"UpAbort", Pre::Upload27, Set::None, Cat(Cmd(0x04, 0x2000, 2), Le32(0x05040000)), 0, 0, 0x2B04, 0x05040000},
    // download segments
    {"DnSegLe1", Pre::Download27, Set::None, {0x19}, 0, 0x06070010, 0x2B0A, 0x06070010},
    {"DnSegSlimLeAbove22", Pre::Download27, Set::None, Cat({0x19}, Fill(22)), 0, 0x06070010, 0x2B0A, 0x06070010,
     true},
    {"DnSegWrongToggle", Pre::Download27, Set::None, Cat({0x09}, Fill(11)), 0, 0, 0x2B16, 0},
    {"DnLastWrongToggle", Pre::Download9, Set::None, Cat({0x49}, Fill(5)), 0, 0, 0x2B16, 0},
    {"DnMiddleReachesTotal", Pre::Download9, Set::None, Cat({0x19}, Fill(5)), 0, 0x05040002, 0x2B12, 0x05040002},
    {"DnLastShort", Pre::Download9, Set::None, Cat({0x59}, Fill(3)), 0, 0x05040002, 0x2B13, 0x05040002},
    {"DnLastLong", Pre::Download9, Set::None, Cat({0x59}, Fill(6)), 0, 0x05040002, 0x2B13, 0x05040002},
    {"DnAbort", Pre::Download27, Set::None, Cat(Cmd(0x04, 0x2000, 2), Le32(0x05040000)), 0, 0, 0x2B04, 0x05040000},
    {"DnInvalidCharacterMidway", Pre::Download27, Set::None, Cat({0x19}, {0x41, 0x7F}), 0, 0x06090030, 0x270C,
     0x06090030},
};

/// Refusals by a virtual object's callback: only the current release has virtual objects.
const Row k_virtualRows[] = {
    {"VirtualReadRefused", Pre::Idle, Set::RefuseVirtRead, Cmd(0x20, 0x3000, 1), 0, 0x08000000, 0x274B, k_CB},
    {"VirtualWriteRefused", Pre::Idle, Set::RefuseVirtWrite, Cat(Cmd(0x21, 0x3000, 1), Le32(1)), 0, k_CB, 0x2752,
     k_CB},
};

/// The rows of this build.
std::vector<Row> Rows() {
  std::vector<Row> rows(std::begin(k_rows), std::end(k_rows));
  if constexpr (!SCM_kLegacy) {
    rows.insert(rows.end(), std::begin(k_virtualRows), std::end(k_virtualRows));
  }
  return rows;
}

class SsdosRefusal : public SlaveFixture, public ::testing::WithParamInterface<Row> {};

TEST_P(SsdosRefusal, AbortCodeAndError) {
  const Row& row = GetParam();
  ToPreOp();
  switch (row.pre) {
    case Pre::Idle: break;
    case Pre::Upload27:
      g_v.str27Var.ulActLen = 27;
      ASSERT_EQ(One(Ssdo(Cmd(0x20, 0x2000, 2))).payload[0], 0x28);
      break;
    case Pre::Download27:
      ASSERT_EQ(One(Ssdo(Cat(Cat(Cmd(0x29, 0x2000, 2), Le32(27)), Fill(4)))).payload[0], 0x29);
      break;
    case Pre::Download9:
      ASSERT_EQ(One(Ssdo(Cat(Cat(Cmd(0x29, 0x2000, 1), Le32(9)), Fill(4)))).payload[0], 0x29);
      break;
  }
  switch (row.set) {
    case Set::None: break;
    case Set::RefuseVirtRead: g_sw.refuseVirtRead = true; break;
    case Set::RefuseRead: g_sw.refuseRead = true; break;
    case Set::RefuseVirtWrite: g_sw.refuseVirtWrite = true; break;
    case Set::RefuseAfterWrite: g_sw.refuseAfterWrite = true; break;
    case Set::WriteDisabled: ASSERT_TRUE(SOD_DisableSodWrite()); break;
    case Set::Locked: ASSERT_TRUE(SOD_Lock()); break;
    case Set::SnOperational: SNMTS_ucSnState = SNMTS_k_ST_OP; break;
    case Set::SnInit: SNMTS_ucSnState = SNMTS_k_ST_INIT; break;
  }
  const bool lockedBefore = SOD_IsLocked();
  ClearErrors();
  const std::vector<ParsedFrame> sent = Ssdo(row.request, row.slim, 0, row.tr);
  if (row.abortCode == 0) {
    EXPECT_TRUE(sent.empty());
  } else {
    const ParsedFrame f = One(sent);
    ASSERT_EQ(f.payload.size(), 8u);
    EXPECT_EQ(f.payload[0], 0x04);
    EXPECT_EQ(f.le, 8);
    EXPECT_EQ(Bytes(f.payload.begin() + 4, f.payload.end()), Le32(row.abortCode));
    // The abort names the transfer: the request's index for an initiate, else the running one.
    const Bytes index(f.payload.begin() + 1, f.payload.begin() + 4);
    if (row.pre == Pre::Idle) {
      EXPECT_EQ(index, Bytes(row.request.begin() + 1, row.request.begin() + 4));
    } else {
      EXPECT_EQ(index, (Bytes{0x00, 0x20, static_cast<u8>(row.pre == Pre::Download9 ? 1 : 2)}));
    }
  }
  ExpectFirstError(g_errors, row.code, row.info);
  EXPECT_LE(StackTest::MaxErrorCode(), 0x3FFF);
  // An answered refusal ends the transfer and gives back a lock the server held.
  if (row.abortCode != 0 && row.set != Set::Locked) {
    EXPECT_FALSE(SOD_IsLocked());
  }
  if (row.abortCode == 0 && row.code != 0x2B04 && row.pre != Pre::Idle) {
    EXPECT_EQ(SOD_IsLocked(), lockedBefore);
  }
}

INSTANTIATE_TEST_SUITE_P(Requests, SsdosRefusal, ::testing::ValuesIn(Rows()),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace SlaveTest
