// Base fixture of the own-node tests: fresh fakes and doubles, the slave's
// object tables, an initialised stack, and helpers that feed frames from the
// shared fixture builder through the dispatcher and decode what it sends.
#pragma once
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "FrameBuilder.h"
#include "SERR.h"
#include "SNMTS.h"
#include "SNMTSint.h"
#include "SSC.h"
#include "SSDOS.h"
#include "SlaveDoubles.h"
#include "SlaveTables.h"
#include "StackFakes.h"

namespace SlaveTest {

using TestFrames::Bytes;
using TestFrames::ParsedFrame;
using StackTest::ErrorReport;
using StackTest::g_errors;
using StackTest::g_tx;

constexpr u16 k_SADR = 5;        ///< SADR the tests assign to the own node
constexpr u16 k_SDN = 7;         ///< domain number the tests assign
constexpr u16 k_SCM_SADR = 1;    ///< SADR of the requesting SCM
constexpr u32 k_TIMESTAMP = 0x01020304;  ///< parameter timestamp of the tests
const TestFrames::Udid k_OWN_UDID = {0x11, 0x12, 0x13, 0x14, 0x15, 0x16};  ///< the own UDID's default
const TestFrames::Udid k_SCM_UDID = {0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6};  ///< SCM UDID assigned by the tests

/// Little-endian bytes of a u32.
inline Bytes Le32(u32 v) {
  return {static_cast<u8>(v), static_cast<u8>(v >> 8), static_cast<u8>(v >> 16), static_cast<u8>(v >> 24)};
}
/// a followed by b.
inline Bytes Cat(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

class SlaveFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    StackTest::ResetFakes();
    g_d = Doubles{};
    UseMainTables();
    ASSERT_TRUE(SSC_InitAll()) << std::hex << (g_errors.empty() ? 0 : g_errors.back().code) << " "
                               << (g_errors.empty() ? 0 : g_errors.back().info);
    ASSERT_TRUE(g_errors.empty()) << std::hex << g_errors.front().code;
  }

  /// Frames sent since the given count, decoded (SSDO frames with the current SCM UDID).
  static std::vector<ParsedFrame> SentSince(size_t from) {
    std::vector<ParsedFrame> out;
    for (size_t i = from; i < g_tx.frames.size(); ++i) {
      const Bytes& block = g_tx.frames[i];
      const bool slim = g_tx.types[i] == 3;
      const size_t n = block.size();
      size_t le = 0;
      if (slim) {
        le = (n <= 19) ? n - 11 : n - 13;
      } else {
        le = (n <= 27) ? (n - 11) / 2 : (n - 13) / 2;
      }
      const size_t oneLen = 4 + le + TestFrames::CrcWidth(le);
      const u8 id = block[n - oneLen + 1] >> 2;
      TestFrames::ParseOptions opt;
      if (!TestFrames::IsSnmtId(id)) {
        TestFrames::Udid udid;
        std::memcpy(udid.data(), g_v.scmUdid, 6);
        opt.scmUdid = udid;
      }
      out.push_back(TestFrames::ParseFrame(TestFrames::BlockToQueueForm(block, id, le), opt));
      EXPECT_TRUE(out.back().ok) << out.back().error;
    }
    return out;
  }

  /// Feeds one frame through the dispatcher as the pump does; the frames it sent.
  std::vector<ParsedFrame> Feed(const Bytes& frame, u32 ct = 0) {
    const size_t before = g_tx.frames.size();
    steps = 1;
    if (SSC_ProcessSNMTSSDOFrame(ct, frame.data(), static_cast<u16>(frame.size()))) {
      while (SSC_ProcessSNMTSSDOFrame(ct, nullptr, 0)) {
        ++steps;
        if (steps > 8) {
          ADD_FAILURE() << "dispatcher does not come back to state 0";
          break;
        }
      }
      ++steps;
    }
    return SentSince(before);
  }

  /// A request to the own node from the SCM.
  static TestFrames::FrameSpec Request(u8 id, const Bytes& payload, u16 adr, u16 sdn, u16 ct, u8 tr) {
    TestFrames::FrameSpec s;
    s.id = id;
    s.adr = adr;
    s.sdn = sdn;
    s.ct = ct;
    s.tadr = k_SCM_SADR;
    s.tr = tr;
    s.payload = payload;
    return s;
  }

  /// An SSDO request frame coded with the given SCM UDID bytes.
  static Bytes SsdoFrame(const Bytes& payload, bool slim, u16 ct, u8 tr, u16 adr, u16 sdn, const u8* scmUdid) {
    TestFrames::Udid udid;
    std::memcpy(udid.data(), scmUdid, 6);
    return TestFrames::BuildFrame(
        TestFrames::WithFirmwareCoding(Request(slim ? 0x3A : 0x38, payload, adr, sdn, ct, tr), udid));
  }

  /// An SNMT request to the own node.
  std::vector<ParsedFrame> Snmt(u8 id, const Bytes& payload, u16 adr = k_SADR, u16 sdn = k_SDN, u16 ct = 0,
                                u8 tr = 0, u32 dispatcherCt = 0) {
    return Feed(TestFrames::BuildFrame(Request(id, payload, adr, sdn, ct, tr)), dispatcherCt);
  }

  /// An SSDO request to the own node, coded with the current SCM UDID.
  std::vector<ParsedFrame> Ssdo(const Bytes& payload, bool slim = false, u16 ct = 0, u8 tr = 0, u16 adr = k_SADR,
                                u16 sdn = k_SDN) {
    return Feed(SsdoFrame(payload, slim, ct, tr, adr, sdn, g_v.scmUdid));
  }

  /// The single answer of a request, or a failure.
  static ParsedFrame One(const std::vector<ParsedFrame>& sent) {
    EXPECT_EQ(sent.size(), 1u);
    if (sent.empty()) {
      // A marker payload, so that callers may look at its first byte.
      ParsedFrame none;
      none.payload = {0xEE};
      return none;
    }
    return sent.front();
  }

  /// Service request 0x2C.
  std::vector<ParsedFrame> Service(const Bytes& payload, u32 ct = 0) {
    return Snmt(0x2C, payload, k_SADR, k_SDN, 0, 0, ct);
  }

  /// State 0 -> PRE-OPERATIONAL (4) through the platform call and an SCM's requests.
  void ToPreOp() {
    ASSERT_TRUE(SNMTS_PerformTransPreOp(0));
    ASSERT_EQ(One(Snmt(0x2A, Bytes(k_OWN_UDID.begin(), k_OWN_UDID.end()))).id, 0x2B);
    ASSERT_EQ(One(Service(Cat({0x0E}, Bytes(k_SCM_UDID.begin(), k_SCM_UDID.end())))).payload[0], 0x0F);
    ASSERT_EQ(SNMTS_ucSnState, SNMTS_k_ST_PREOP);
  }

  /// PRE-OPERATIONAL -> OPERATIONAL (10) as the SCM and the application answer, at ct.
  void ToOp(u32 ct = 0) {
    ToPreOp();
    g_v.timestamp = k_TIMESTAMP;
    const Bytes setOp = Cat({0x02}, Le32(k_TIMESTAMP));
    ASSERT_EQ(One(Service(setOp, ct)).payload, (Bytes{0x09}));
    ASSERT_EQ(SNMTS_ucSnState, SNMTS_k_ST_WAIT_CHKSUM);
    ASSERT_TRUE(SNMTS_PassParamChkSumValid(true));
    ASSERT_EQ(SNMTS_ucSnState, SNMTS_k_ST_CHKSUM_OK);
    ASSERT_EQ(One(Service(setOp, ct)).payload, (Bytes{0x09}));
    ASSERT_EQ(SNMTS_ucSnState, SNMTS_k_ST_WAIT_APP);
    ASSERT_TRUE(SNMTS_EnterOpState(true, 0, 0));
    ASSERT_EQ(SNMTS_ucSnState, SNMTS_k_ST_READY_OP);
    ASSERT_EQ(One(Service(setOp, ct)).payload, (Bytes{0x03}));
    ASSERT_EQ(SNMTS_ucSnState, SNMTS_k_ST_OP);
  }

  /// Drives the node to PRE-OPERATIONAL (OPERATIONAL for states 10 and 11) and then places it in the state.
  void Place(u8 state) {
    if (state >= SNMTS_k_ST_OP) {
      ToOp();
    } else {
      ToPreOp();
    }
    SNMTS_ucSnState = state;
  }

  /// Error reports since the last call (or the start).
  std::vector<ErrorReport> NewErrors() {
    std::vector<ErrorReport> out(g_errors.begin() + static_cast<std::ptrdiff_t>(seenErrors), g_errors.end());
    seenErrors = g_errors.size();
    return out;
  }
  /// Expects no error report, or the given one as the first.
  static void ExpectFirstError(const std::vector<ErrorReport>& errors, u16 code, u32 info) {
    if (code == 0) {
      EXPECT_TRUE(errors.empty()) << std::hex << errors.front().code;
    } else {
      ASSERT_FALSE(errors.empty());
      EXPECT_EQ(errors.front(), (ErrorReport{code, info})) << std::hex << errors.front().code;
    }
  }

  /// Forgets the errors so far.
  void ClearErrors() {
    g_errors.clear();
    seenErrors = 0;
  }

  int steps = 0;          ///< dispatcher calls of the last Feed
  size_t seenErrors = 0;  ///< errors already returned by NewErrors
};

}  // namespace SlaveTest
