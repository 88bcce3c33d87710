// SSDO server scenarios: uploads, downloads with and without preload, aborts,
// write permission, the identity redirect and slim frames.
#include "SlaveFixture.h"
#include "ScmProfile.h"

namespace SlaveTest {
namespace {

/// Command byte, index (low byte first) and sub-index.
Bytes Cmd(u8 cmd, u16 index, u8 sub) { return {cmd, static_cast<u8>(index), static_cast<u8>(index >> 8), sub}; }
/// n bytes counting up from first.
Bytes Seq(u8 first, size_t n) {
  Bytes b(n);
  for (size_t i = 0; i < n; ++i) {
    b[i] = static_cast<u8>(first + i);
  }
  return b;
}

class Ssdos : public SlaveFixture {
 protected:
  void SetUp() override {
    SlaveFixture::SetUp();
    ToPreOp();
    ClearErrors();
  }

  /// Expects one answer and returns its payload.
  Bytes Answer(const Bytes& request, bool slim = false, u16 ct = 0) {
    const ParsedFrame f = One(Ssdo(request, slim, ct));
    EXPECT_EQ(f.id, slim ? 0x3B : 0x39);
    EXPECT_EQ(f.adr, k_SCM_SADR);
    EXPECT_EQ(f.tadr, k_SADR);
    EXPECT_EQ(f.sdn, k_SDN);
    EXPECT_EQ(f.ct, ct);
    return f.payload;
  }

  static Bytes Abort(u16 index, u8 sub, u32 code) { return Cat(Cmd(0x04, index, sub), Le32(code)); }

  static void SetString(SOD_VarData& var, const Bytes& bytes) {
    std::memcpy(var.pucData, bytes.data(), bytes.size());
    var.ulActLen = static_cast<u32>(bytes.size());
  }
};

TEST_F(Ssdos, EightBytesUploadExpedited) {
  g_v.u64v = 0x0102030405060708ull;
  const Bytes a = Answer(Cmd(0x20, 0x2000, 7));
  EXPECT_EQ(a, Cat(Cmd(0x20, 0x2000, 7), {8, 7, 6, 5, 4, 3, 2, 1}));
  EXPECT_EQ(steps, 4);
  EXPECT_FALSE(SOD_IsLocked());
}

TEST_F(Ssdos, NineBytesUploadAsFourThenFive) {
  SetString(g_v.str9Var, Seq(1, 9));
  EXPECT_EQ(Answer(Cmd(0x20, 0x2000, 1)), Cat(Cat(Cmd(0x28, 0x2000, 1), Le32(9)), Seq(1, 4)));
  EXPECT_TRUE(SOD_IsLocked());
  EXPECT_EQ(Answer(Cmd(0x18, 0x2000, 1)), Cat({0x58}, Seq(5, 5)));
  EXPECT_FALSE(SOD_IsLocked());
  EXPECT_TRUE(g_errors.empty());
}

TEST_F(Ssdos, TwentySevenBytesUploadAsFourElevenElevenOne) {
  SetString(g_v.str27Var, Seq(0x30, 27));
  EXPECT_EQ(Answer(Cmd(0x20, 0x2000, 2)), Cat(Cat(Cmd(0x28, 0x2000, 2), Le32(27)), Seq(0x30, 4)));
  EXPECT_EQ(Answer(Cmd(0x18, 0x2000, 2)), Cat({0x18}, Seq(0x34, 11)));
  EXPECT_EQ(Answer(Cmd(0x08, 0x2000, 2)), Cat({0x08}, Seq(0x3F, 11)));
  EXPECT_EQ(Answer(Cmd(0x18, 0x2000, 2)), Cat({0x58}, Seq(0x4A, 1)));
  EXPECT_FALSE(SOD_IsLocked());
  // The transfer is over: a further segment request is no initiate.
  EXPECT_EQ(Answer(Cmd(0x08, 0x2000, 2)), Abort(0x2000, 2, 0x05040001));
}

TEST_F(Ssdos, WrongToggleGetsNoAnswerAndTheTransferStaysOpen) {
  SetString(g_v.str9Var, Seq(1, 9));
  Answer(Cmd(0x20, 0x2000, 1));
  EXPECT_TRUE(Ssdo(Cmd(0x08, 0x2000, 1)).empty());
  EXPECT_EQ(g_errors, (std::vector<ErrorReport>{{0x2B16, 0}}));
  EXPECT_EQ(Answer(Cmd(0x18, 0x2000, 1)), Cat({0x58}, Seq(5, 5)));
}

TEST_F(Ssdos, WrongIndexOfAnUploadSegmentGetsNoAnswer) {
  SetString(g_v.str9Var, Seq(1, 9));
  Answer(Cmd(0x20, 0x2000, 1));
  EXPECT_TRUE(Ssdo(Cmd(0x18, 0x2000, 2)).empty());
  EXPECT_EQ(g_errors, (std::vector<ErrorReport>{{0x2B15, 0}}));
  EXPECT_EQ(Answer(Cmd(0x18, 0x2000, 1)), Cat({0x58}, Seq(5, 5)));
}

TEST_F(Ssdos, RefusalAtEntryLeavesTheTransferAsItWas) {
  SetString(g_v.str9Var, Seq(1, 9));
  Answer(Cmd(0x20, 0x2000, 1));
  EXPECT_TRUE(Ssdo(Cmd(0x18, 0x2000, 1), false, 0, 1).empty());
  EXPECT_TRUE(Ssdo(Cmd(0x18, 0x2000, 1), false, 0, 0, 6).empty());
  EXPECT_TRUE(Ssdo(Cmd(0x18, 0x2000, 1), false, 0, 0, k_SADR, 8).empty());
  EXPECT_EQ(g_errors, (std::vector<ErrorReport>{
                          {0x2B02, 1}, {0x1B01, (6u << 16) | k_SDN}, {0x1B01, (u32{k_SADR} << 16) | 8}}));
  EXPECT_EQ(Answer(Cmd(0x18, 0x2000, 1)), Cat({0x58}, Seq(5, 5)));
}

TEST_F(Ssdos, ExpeditedDownload) {
  EXPECT_EQ(Answer(Cat(Cmd(0x21, 0x2000, 3), {0x44, 0x33, 0x22, 0x11})), Cmd(0x21, 0x2000, 3));
  EXPECT_EQ(g_v.rwU32, 0x11223344u);
  EXPECT_EQ(Answer(Cat(Cmd(0x21, 0x2000, 8), {1, 2, 3})), Cmd(0x21, 0x2000, 8));
  EXPECT_EQ(Bytes(g_v.str6, g_v.str6 + 3), (Bytes{1, 2, 3}));
  EXPECT_EQ(g_v.str6Var.ulActLen, 3u);
  EXPECT_TRUE(g_errors.empty());
}

TEST_F(Ssdos, ReadOnlyObjectTakesItsCurrentValueOnly) {
  EXPECT_EQ(Answer(Cat(Cmd(0x21, 0x2000, 4), {0x34, 0x12})), Cmd(0x21, 0x2000, 4));
  EXPECT_TRUE(g_errors.empty());
  EXPECT_EQ(Answer(Cat(Cmd(0x21, 0x2000, 4), {0x35, 0x12})), Abort(0x2000, 4, 0x06010002));
  EXPECT_EQ(g_v.roU16, 0x1234);
  EXPECT_EQ(Answer(Cmd(0x20, 0x2000, 5)), Cat(Cmd(0x20, 0x2000, 5), {7}));
}

TEST_F(Ssdos, SegmentedDownload) {
  const Bytes text = Seq(0x41, 27);
  EXPECT_EQ(Answer(Cat(Cat(Cmd(0x29, 0x2000, 2), Le32(27)), Bytes(text.begin(), text.begin() + 4))),
            Cmd(0x29, 0x2000, 2));
  EXPECT_TRUE(SOD_IsLocked());
  EXPECT_EQ(Answer(Cat({0x19}, Bytes(text.begin() + 4, text.begin() + 15))), (Bytes{0x19}));
  EXPECT_EQ(Answer(Cat({0x09}, Bytes(text.begin() + 15, text.begin() + 26))), (Bytes{0x09}));
  EXPECT_EQ(g_v.str27Var.ulActLen, 0u);
  EXPECT_EQ(Answer(Cat({0x59}, Bytes(text.begin() + 26, text.end()))), (Bytes{0x59}));
  EXPECT_EQ(Bytes(g_v.str27, g_v.str27 + 27), text);
  EXPECT_EQ(g_v.str27Var.ulActLen, 27u);
  EXPECT_FALSE(SOD_IsLocked());
  EXPECT_TRUE(g_errors.empty());
}

TEST_F(Ssdos, SegmentedDownloadRunsTheAfterWriteOnceAtTheEnd) {
  EXPECT_EQ(Answer(Cat(Cat(Cmd(0x29, 0x2000, 6), Le32(0)), Seq(1, 4))), Cmd(0x29, 0x2000, 6));
  EXPECT_EQ(Answer(Cat({0x19}, Seq(5, 11))), (Bytes{0x19}));
  EXPECT_EQ(g_sw.afterWrites, 0);
  EXPECT_EQ(Answer(Cat({0x49}, Seq(16, 1))), (Bytes{0x49}));
  EXPECT_EQ(g_v.domainVar.ulActLen, 16u);
  EXPECT_EQ(g_sw.afterWrites, 1);
}

TEST_F(Ssdos, OlderReleaseAbortsAPreloadInitiateAndTakesAPreloadSegmentAsANewInitiate) {
  if constexpr (!SCM_kLegacy) {
    GTEST_SKIP() << "the current release takes the preload";
  }
  EXPECT_EQ(Answer(Cat(Cat(Cmd(0x2B, 0x2000, 2), Le32(27)), Seq(0x41, 4))),
            Abort(0x2000, 2, 0x05040001));
  EXPECT_EQ(g_errors, (std::vector<ErrorReport>{{0x2B07, 0x2B}}));
  // In a segmented download a preloaded middle segment is no segment: the
  // transfer is reset and the frame read as an initiate with an unknown command.
  Answer(Cat(Cat(Cmd(0x29, 0x2000, 2), Le32(27)), Seq(0x41, 4)));
  ASSERT_TRUE(SOD_IsLocked());
  g_errors.clear();
  const Bytes answer = Answer(Cat({0x1B}, Seq(0x45, 11)));
  ASSERT_GE(answer.size(), 1u);
  EXPECT_EQ(answer[0], 0x04);
  EXPECT_EQ(g_errors, (std::vector<ErrorReport>{{0x2B07, 0x1B}}));
  EXPECT_FALSE(SOD_IsLocked());
}

TEST_F(Ssdos, PreloadedDownload) {
  if constexpr (SCM_kLegacy) {
    GTEST_SKIP() << "the older release has no preload";
  }
  const Bytes text = Seq(0x41, 27);
  const ParsedFrame init = One(Ssdo(Cat(Cat(Cmd(0x2B, 0x2000, 2), Le32(27)), Seq(0x41, 4)), false, 10));
  EXPECT_EQ(init.payload, Cmd(0x2B, 0x2000, 2));
  EXPECT_EQ(init.tr, 0x31);
  EXPECT_EQ(Answer(Cat({0x1B}, Seq(0x45, 11)), false, 11), (Bytes{0x1B}));
  EXPECT_EQ(Answer(Cat({0x0B}, Seq(0x50, 11)), false, 12), (Bytes{0x0B}));
  EXPECT_EQ(Answer(Cat({0x59}, Seq(0x5B, 1)), false, 13), (Bytes{0x59}));
  EXPECT_EQ(Bytes(g_v.str27, g_v.str27 + 27), text);
  EXPECT_EQ(g_v.str27Var.ulActLen, 27u);
  EXPECT_TRUE(g_errors.empty());
}

TEST_F(Ssdos, PreloadGapAsksForTheExpectedSegmentAndWritesNothing) {
  if constexpr (SCM_kLegacy) {
    GTEST_SKIP() << "the older release has no preload";
  }
  Answer(Cat(Cat(Cmd(0x2B, 0x2000, 2), Le32(27)), Seq(0x41, 4)), false, 10);
  const ParsedFrame gap = One(Ssdo(Cat({0x1B}, Seq(0x50, 11)), false, 12));
  EXPECT_EQ(gap.payload, (Bytes{0x1B}));
  EXPECT_EQ(gap.ct, 11);
  EXPECT_EQ(gap.tr, 0x30);
  EXPECT_EQ(g_v.str27[4], 0);
  // The expected segment then continues the transfer where it stood.
  EXPECT_EQ(Answer(Cat({0x0B}, Seq(0x45, 11)), false, 11), (Bytes{0x0B}));
  EXPECT_EQ(Bytes(g_v.str27 + 4, g_v.str27 + 15), Seq(0x45, 11));
}

TEST_F(Ssdos, PreloadCountsFromOneAfterFFFF) {
  if constexpr (SCM_kLegacy) {
    GTEST_SKIP() << "the older release has no preload";
  }
  Answer(Cat(Cat(Cmd(0x2B, 0x2000, 2), Le32(27)), Seq(0x41, 4)), false, 0xFFFF);
  const ParsedFrame f = One(Ssdo(Cat({0x1B}, Seq(0x45, 11)), false, 1));
  EXPECT_EQ(f.tr, 0);
  EXPECT_EQ(f.ct, 1);
  EXPECT_EQ(Bytes(g_v.str27 + 4, g_v.str27 + 15), Seq(0x45, 11));
}

TEST_F(Ssdos, AbortDuringStringDownloadRollsBackAndUnlocks) {
  SetString(g_v.str27Var, Seq(0x61, 3));
  Answer(Cat(Cat(Cmd(0x29, 0x2000, 2), Le32(27)), Seq(0x41, 4)));
  Answer(Cat({0x19}, Seq(0x45, 11)));
  ASSERT_TRUE(SOD_IsLocked());
  EXPECT_TRUE(Ssdo(Abort(0x2000, 2, 0x05040000)).empty());
  EXPECT_EQ(g_errors, (std::vector<ErrorReport>{{0x2B04, 0x05040000}}));
  EXPECT_EQ(g_v.str27Var.ulActLen, 0u);
  EXPECT_FALSE(SOD_IsLocked());
  // The server waits for a new initiate.
  EXPECT_EQ(Answer(Cat(Cmd(0x21, 0x2000, 3), Le32(9))), Cmd(0x21, 0x2000, 3));
}

TEST_F(Ssdos, NewInitiateDuringADownloadEndsIt) {
  Answer(Cat(Cat(Cmd(0x29, 0x2000, 2), Le32(27)), Seq(0x41, 4)));
  g_v.u64v = 5;
  EXPECT_EQ(Answer(Cmd(0x20, 0x2000, 7)), Cat(Cmd(0x20, 0x2000, 7), {5, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_FALSE(SOD_IsLocked());
  EXPECT_EQ(g_v.str27Var.ulActLen, 0u);
}

TEST_F(Ssdos, OperationalWritesOnlyTheOperationalObjects) {
  SNMTS_ucSnState = SNMTS_k_ST_OP;
  EXPECT_EQ(Answer(Cat(Cmd(0x21, 0x2800, 0), Le32(7))), Cmd(0x21, 0x2800, 0));
  EXPECT_EQ(g_v.op2800, 7u);
  EXPECT_EQ(Answer(Cat(Cmd(0x21, 0x101A, 0), Le32(8))), Cmd(0x21, 0x101A, 0));
  EXPECT_EQ(g_v.opWritable, 8u);
  EXPECT_EQ(Answer(Cat(Cmd(0x21, 0x1200, 2), {3, 0})), Abort(0x1200, 2, 0x08000022));
  EXPECT_EQ(g_errors, (std::vector<ErrorReport>{{0x2B19, 0x08000022}}));
  // Reads stay possible.
  EXPECT_EQ(Answer(Cmd(0x20, 0x2800, 0)), Cat(Cmd(0x20, 0x2800, 0), Le32(7)));
}

TEST_F(Ssdos, DisabledWriteAccessRefusesEveryDownload) {
  ASSERT_TRUE(SOD_DisableSodWrite());
  EXPECT_EQ(Answer(Cat(Cmd(0x21, 0x2000, 3), Le32(1))), Abort(0x2000, 3, 0x08000022));
  EXPECT_EQ(Answer(Cat(Cat(Cmd(0x29, 0x2000, 2), Le32(27)), Seq(1, 4))), Abort(0x2000, 2, 0x08000022));
  EXPECT_EQ(g_errors, (std::vector<ErrorReport>{{0x2B17, 0x08000022}, {0x2B17, 0x08000022}}));
  ASSERT_TRUE(SOD_EnableSodWrite());
}

TEST_F(Ssdos, LockedDictionaryRefusesASegmentedDownloadOnly) {
  ASSERT_TRUE(SOD_Lock());
  EXPECT_EQ(Answer(Cat(Cat(Cmd(0x29, 0x2000, 2), Le32(27)), Seq(1, 4))), Abort(0x2000, 2, 0x08000022));
  EXPECT_EQ(g_errors, (std::vector<ErrorReport>{{0x2B18, 0x08000022}}));
  EXPECT_EQ(Answer(Cat(Cmd(0x21, 0x2000, 3), Le32(1))), Cmd(0x21, 0x2000, 3));
  // The abort leaves the lock to its owner.
  EXPECT_TRUE(SOD_IsLocked());
  ASSERT_TRUE(SOD_Unlock());
}

TEST_F(Ssdos, IdentityRedirectOnlyWhileE100IsNonZero) {
  g_v.redirectVendor = 0x55;
  g_v.redirectProduct = 0x66;
  EXPECT_EQ(Answer(Cmd(0x20, 0x1018, 1)), Cat(Cmd(0x20, 0x1018, 1), Le32(0x0A0B)));
  g_v.redirectOn = 1;
  EXPECT_EQ(Answer(Cmd(0x20, 0x1018, 1)), Cat(Cmd(0x20, 0x1018, 1), Le32(0x55)));
  EXPECT_EQ(Answer(Cmd(0x20, 0x1018, 2)), Cat(Cmd(0x20, 0x1018, 2), Le32(0x66)));
  // Only sub-indices 1 and 2, and only uploads.
  EXPECT_EQ(Answer(Cmd(0x20, 0x1018, 7)), Cat(Cmd(0x20, 0x1018, 7), Le32(g_v.timestamp)));
  EXPECT_TRUE(g_errors.empty());
}

TEST_F(Ssdos, NoRedirectWithoutE100) {
  UseTablesWithoutRedirect();
  ASSERT_TRUE(SSC_InitAll());
  ToPreOp();
  ClearErrors();
  EXPECT_EQ(Answer(Cmd(0x20, 0x1018, 1)), Cat(Cmd(0x20, 0x1018, 1), Le32(0x0A0B)));
  // The missing probe object is no error of the request.
  EXPECT_TRUE(g_errors.empty());
}

TEST_F(Ssdos, SlimRequestsGetSlimAnswers) {
  SetString(g_v.str27Var, Seq(0x30, 27));
  EXPECT_EQ(Answer(Cmd(0x20, 0x2000, 2), true), Cat(Cat(Cmd(0x28, 0x2000, 2), Le32(27)), Seq(0x30, 4)));
  EXPECT_EQ(g_tx.types.back(), 3);
  EXPECT_EQ(Answer(Cmd(0x18, 0x2000, 2), true), Cat({0x18}, Seq(0x34, 11)));
  // A slim download may carry up to 18 bytes of data expedited.
  EXPECT_EQ(Answer(Cat(Cmd(0x21, 0x2000, 2), Seq(0x41, 18)), true), Cmd(0x21, 0x2000, 2));
  EXPECT_EQ(g_v.str27Var.ulActLen, 18u);
  // Above LE 22 a slim request is refused, although the dispatcher admits 24.
  EXPECT_TRUE(Ssdo(Cat(Cmd(0x21, 0x2000, 2), Seq(0x41, 19)), true).empty());
  EXPECT_EQ(g_errors.back(), (ErrorReport{0x2B08, 23}));
}

TEST_F(Ssdos, QueueSizeGoesIntoThePreloadAnswer) {
  // The older release does not even declare the setter: the case is compiled
  // only where a size can be set.
  const auto setSize = [](auto size) {
    if constexpr (!SCM_kLegacy) {
      return SSDOS_SetQueueSize(size);
    } else {
      return size == 0;
    }
  };
  if constexpr (SCM_kLegacy) {
    GTEST_SKIP() << "the older release has no preload";
  }
  EXPECT_FALSE(setSize(u8{0}));
  EXPECT_FALSE(setSize(u8{16}));
  EXPECT_TRUE(setSize(u8{15}));
  EXPECT_EQ(One(Ssdo(Cat(Cat(Cmd(0x2B, 0x2000, 2), Le32(27)), Seq(0x41, 4)))).tr, 0x3F);
  Ssdo(Abort(0x2000, 2, 0x05040000));
  EXPECT_FALSE(setSize(u8{20}));
  EXPECT_EQ(One(Ssdo(Cat(Cat(Cmd(0x2B, 0x2000, 2), Le32(27)), Seq(0x41, 4)))).tr, 0x31);
}

// ---- sound behaviour where a plain reading would hang, corrupt or report wrongly ----

TEST_F(Ssdos, BusyIsClearedAfterTheAnswerStep) {
  // Literally, busy stays set after the answer and the pump would call for ever.
  Answer(Cat(Cmd(0x21, 0x2000, 3), Le32(1)));
  EXPECT_EQ(steps, 4);
  Answer(Cat(Cmd(0x21, 0x2000, 3), Le32(2)));
  EXPECT_EQ(steps, 4);
  EXPECT_EQ(g_v.rwU32, 2u);
}

TEST_F(Ssdos, SegmentedDownloadToAFixedSizeObjectIsRefusedAtTheInitiate) {
  EXPECT_EQ(Answer(Cat(Cat(Cmd(0x29, 0x2000, 3), Le32(4)), Seq(1, 4))), Abort(0x2000, 3, 0x06070010));
  EXPECT_EQ(g_errors, (std::vector<ErrorReport>{{0x2B0E, 0x06070010}}));
  EXPECT_FALSE(SOD_IsLocked());
}

TEST_F(Ssdos, FirstSegmentIsCheckedAgainstMaximumAndAnnouncedSize) {
  // A slim initiate to a 6-byte object with 10 bytes of first data.
  EXPECT_EQ(Answer(Cat(Cat(Cmd(0x29, 0x2000, 8), Le32(0)), Seq(1, 10)), true), Abort(0x2000, 8, 0x05040002));
  // Announced 3, first segment 4.
  EXPECT_EQ(Answer(Cat(Cat(Cmd(0x29, 0x2000, 8), Le32(3)), Seq(1, 4))), Abort(0x2000, 8, 0x05040002));
  EXPECT_EQ(g_errors, (std::vector<ErrorReport>{{0x2B10, 0x05040002}, {0x2B10, 0x05040002}}));
  EXPECT_EQ(g_v.str6Var.ulActLen, 0u);
  // Unknown size: every segment is held to the maximum.
  Answer(Cat(Cat(Cmd(0x29, 0x2000, 8), Le32(0)), Seq(1, 4)));
  EXPECT_EQ(Answer(Cat({0x19}, Seq(5, 3))), Abort(0x2000, 8, 0x05040002));
  EXPECT_EQ(g_errors.back(), (ErrorReport{0x2B12, 0x05040002}));
}

TEST_F(Ssdos, EmptyExpeditedStringUsesTheEmptyValue) {
  SetString(g_v.domainVar, Seq(1, 5));
  EXPECT_EQ(Answer(Cmd(0x21, 0x2000, 6)), Cmd(0x21, 0x2000, 6));
  EXPECT_EQ(g_v.domainVar.ulActLen, 0u);
  EXPECT_EQ(g_sw.afterWrites, 1);
  EXPECT_EQ(g_v.domain[0], 1);  // nothing copied
}

TEST_F(Ssdos, EmptyFirstSegmentWritesNothing) {
  SetString(g_v.domainVar, Seq(1, 5));
  EXPECT_EQ(Answer(Cat(Cmd(0x29, 0x2000, 6), Le32(2))), Cmd(0x29, 0x2000, 6));
  EXPECT_EQ(g_sw.afterWrites, 0);
  EXPECT_EQ(g_v.domain[0], 1);
  EXPECT_EQ(Answer(Cat({0x59}, {9, 8})), (Bytes{0x59}));
  EXPECT_EQ(g_v.domainVar.ulActLen, 2u);
  EXPECT_EQ(g_v.domain[0], 9);
  EXPECT_EQ(g_v.domain[2], 3);  // bytes after the value are not touched
  EXPECT_EQ(g_sw.afterWrites, 1);
}

TEST_F(Ssdos, RefusedExpeditedStringLeavesLengthZero) {
  SetString(g_v.domainVar, Seq(1, 5));
  g_sw.refuseWrite = true;
  EXPECT_EQ(Answer(Cat(Cmd(0x21, 0x2000, 6), {7, 7, 7})), Abort(0x2000, 6, 0x08000020));
  EXPECT_EQ(g_v.domainVar.ulActLen, 0u);
  EXPECT_EQ(g_errors, (std::vector<ErrorReport>{{0x2712, 0x08000020}}));
}

TEST_F(Ssdos, RefusedDownloadOfAReadOnlyStringKeepsIt) {
  EXPECT_EQ(Answer(Cat(Cmd(0x21, 0x1019, 0), {1, 2})), Abort(0x1019, 0, 0x06010002));
  EXPECT_EQ(g_v.ownUdidVar.ulActLen, 6u);
  EXPECT_EQ(Answer(Cmd(0x20, 0x1019, 0)), Cat(Cmd(0x20, 0x1019, 0), Bytes(k_OWN_UDID.begin(), k_OWN_UDID.end())));
}

TEST_F(Ssdos, AbortCodeIsNeverZero) {
  g_sw.refuseWrite = true;
  g_sw.abortCode = 0;
  EXPECT_EQ(Answer(Cat(Cmd(0x21, 0x2000, 6), {7})), Abort(0x2000, 6, 0x08000000));
}

TEST_F(Ssdos, FailedLookupIsAnsweredNotReported) {
  EXPECT_EQ(Answer(Cmd(0x20, 0x4000, 0)), Abort(0x4000, 0, 0x06020000));
  EXPECT_EQ(Answer(Cmd(0x20, 0x2000, 40)), Abort(0x2000, 40, 0x06090011));
  EXPECT_EQ(Answer(Cat(Cmd(0x21, 0x4000, 0), {1})), Abort(0x4000, 0, 0x06020000));
  EXPECT_TRUE(g_errors.empty());
}

TEST_F(Ssdos, LostAnswerStepStartsAfresh) {
  // A frame offered while the dispatcher waits to call again drops that call.
  const Bytes frame = SsdoFrame(Cmd(0x20, 0x2000, 7), false, 0, 0, k_SADR, k_SDN, g_v.scmUdid);
  ASSERT_TRUE(SSC_ProcessSNMTSSDOFrame(0, frame.data(), static_cast<u16>(frame.size())));
  ASSERT_TRUE(SSC_ProcessSNMTSSDOFrame(0, nullptr, 0));  // initiate analysed, busy
  EXPECT_FALSE(SSC_ProcessSNMTSSDOFrame(0, frame.data(), static_cast<u16>(frame.size())));
  ClearErrors();
  g_v.rwU32 = 3;
  EXPECT_EQ(Answer(Cmd(0x20, 0x2000, 3)), Cat(Cmd(0x20, 0x2000, 3), Le32(3)));
}

}  // namespace
}  // namespace SlaveTest
