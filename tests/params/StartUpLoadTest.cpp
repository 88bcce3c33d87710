// The demo domain's files loaded through EPS_Init with the real object
// dictionary and SNMT slave: every described value readable.
#include <gtest/gtest.h>

#include "EPSglobal.h"
#include "EPSod.h"
#include "ParamFixture.h"
#include "SNMTS.h"
#include "SOD.h"
#include "ScmSystemCalls.h"

namespace ParamTest {
namespace {

using StartUpLoad = ParamFixture;

Bytes Le(std::uint32_t v, std::size_t n) {
  Bytes b(n);
  for (std::size_t i = 0; i < n; ++i) {
    b[i] = static_cast<std::uint8_t>(v >> (8 * i));
  }
  return b;
}

TEST_F(StartUpLoad, DemoFilesLoadWithoutEventAndTheOwnNodeIsPreOperational) {
  InitDemo();
  EXPECT_TRUE(TakeEvents().empty());
  std::uint32_t state = 99;
  ASSERT_TRUE(SNMTS_GetSnState(&state));
  EXPECT_EQ(state, 1u);
  EXPECT_EQ(EPS_gGlobal.ucStackInitialised, 1);
  EXPECT_EQ(EPS_gGlobal.ulModuleState, 0xFF00AA55u);
  EXPECT_EQ(EPS_gGlobal.ucParamError, 0);
}

TEST_F(StartUpLoad, IdentityAndTimingAreThoseOfTheFileAndTheFirmware) {
  InitDemo();
  EXPECT_EQ(U32(0x1018, 1), 0x00342211u);  // UDID bytes 3, 4, 5, then 0
  EXPECT_EQ(U32(0x1018, 2), ScmGetCpuProductCode());
  EXPECT_EQ(U32(0x1018, 3), 0x01020001u);
  EXPECT_EQ(U32(0x1018, 4), ScmGetCpuSerialNumber());
  EXPECT_EQ(Read(0x1019, 0), (Bytes{0x00, 0x22, 0x11, 0x3E, 0x5C, 0x02}));
  EXPECT_EQ(U32(0x1200, 1), FwTest::kSdn);
  EXPECT_EQ(U32(0x1200, 2), 1023u);
  EXPECT_EQ(Read(0x1200, 4), Bytes(kScmUdid.begin(), kScmUdid.end()));
  EXPECT_EQ(U32(0x100C, 1), 150000u);
  EXPECT_EQ(U32(0x100C, 2), 3u);
  EXPECT_EQ(U32(0x1200, 3), 1u);
  EXPECT_EQ(EPS_gGlobal.ullCtMultiplier, 0x189374BCu);
  EXPECT_EQ(U32(0x1201, 1), 30000u);
  EXPECT_EQ(U32(0x1201, 2), 4u);
  EXPECT_EQ(U32(0x1202, 1), 40000u);
  EXPECT_EQ(U32(0x1202, 2), 6u);
  EXPECT_EQ(U32(0x101B, 1), 0u);
  EXPECT_EQ(EPS_gGlobal.ulMachineOptions, 0x80000001u);
  EXPECT_EQ(U32(0x2106, 4), 1u);
  EXPECT_EQ(U32(0x2106, 7), 3u);
  EXPECT_EQ(U32(0x210B, 1), 1u);
  EXPECT_EQ(U32(0x210B, 3), 1u);
  EXPECT_EQ(Read(0x1018, 6), Bytes{});
  EXPECT_EQ(U32(0x1018, 7), 0u);
}

TEST_F(StartUpLoad, EveryNodeOfTheListIsReadable) {
  InitDemo();
  for (std::size_t i = 0; i < demo.nodes.size(); ++i) {
    ExpectNodeAsDescribed(demo, i);
    SCOPED_TRACE(i);
    const auto& n = demo.nodes[i];
    const auto index = static_cast<std::uint16_t>(0xC400 + i);
    EXPECT_EQ(U32(index, 9), n.pollTime);
    EXPECT_EQ(U32(index, 10), n.parameterSet.size());
    EXPECT_EQ(U32(index, 13), 0u);
    EXPECT_EQ(Read(index, 15), Bytes(n.checksum.size(), 0));
  }
}

TEST_F(StartUpLoad, TheLastNodesDomainsAreCopiedTheOthersPointIntoTheFile) {
  InitDemo();
  const std::uint8_t* pointed = Address(0xC40A, 11);
  ASSERT_NE(pointed, nullptr);
  EXPECT_GE(pointed, kel.data());
  EXPECT_LT(pointed, kel.data() + kel.size());
  const std::uint8_t* copied = Address(0xC40B, 11);
  ASSERT_NE(copied, nullptr);
  EXPECT_FALSE(copied >= kel.data() && copied < kel.data() + kel.size());
  EXPECT_NE(copied, EPS_OdDummy());
  EXPECT_EQ(Read(0xC40B, 11), demo.nodes[11].parameterSet);
}

TEST_F(StartUpLoad, TheUdidListHoldsTheNodesAndZeroElsewhere) {
  InitDemo();
  EXPECT_EQ(Read(0xCC02, 1), Bytes(6, 0));
  EXPECT_EQ(Read(0xCFFF, 1), Bytes(6, 0));
  EXPECT_EQ(Read(0xCC01, 1), Bytes(demo.nodes[0].udid.begin(), demo.nodes[0].udid.end()));
}

TEST_F(StartUpLoad, AdditionalSadrsNameTheirMainSadr) {
  InitDemo();
  EXPECT_EQ(U32(0xC800 + 200, 1), demo.nodes[1].sadr);
  EXPECT_EQ(U32(0xC800 + 201, 1), demo.nodes[1].sadr);
  EXPECT_EQ(U32(0xC800 + 300, 1), demo.nodes[4].sadr);
  EXPECT_EQ(U32(0xC800 + 202, 1), 0u);
}

TEST_F(StartUpLoad, AdditionalSetsPointAtTheirHeaderAndData) {
  InitDemo();
  std::size_t at = 64;
  for (const auto& s : demo.sets) {
    SCOPED_TRACE(s.sadr);
    const auto index = static_cast<std::uint16_t>(0xE3FF + s.sadr);
    const auto sub = static_cast<std::uint8_t>(s.number + 1);
    EXPECT_EQ(Address(index, sub), parData.data() + at);
    const auto value = Read(index, sub);
    ASSERT_TRUE(value.has_value());
    ASSERT_EQ(value->size(), s.payload.size() + 16);
    EXPECT_EQ(Bytes(value->begin() + 16, value->end()), s.payload);
    EXPECT_EQ(Get32(*value, 12), s.timestamp);
    at += 16 + s.payload.size();
  }
  EXPECT_EQ(Read(0xE3FF + 12, 3), Bytes{});
}

TEST_F(StartUpLoad, NodeListDomainsAreReadOnlyToTheNetwork) {
  InitDemo();
  (void)TakeEvents();
  EXPECT_FALSE(WriteNet(0xC400, 11, Bytes(4, 1)));
  EXPECT_FALSE(WriteNet(0xE3FF + 12, 2, Bytes(4, 1)));
  EXPECT_TRUE(WriteNet(0xC400, 5, Le(0x80, 1)));
  EXPECT_EQ(U32(0xC400, 5), 0x80u);
  (void)TakeEvents();
}

/// Resolves an object with a segment.
SOD_Access Segment(std::uint16_t index, std::uint8_t sub, std::uint32_t offset, std::uint32_t size) {
  SOD_Access acc{};
  acc.obj.usIndex = index;
  acc.obj.ucSubIndex = sub;
  SOD_ErrorInfo err{};
  EXPECT_NE(SOD_AttrGetVirt(&acc, &err), nullptr);
  acc.ulSegOffset = offset;
  acc.ulSegSize = size;
  return acc;
}

TEST_F(StartUpLoad, DomainsAreReadAndWrittenOnlyWithinTheirActualLength) {
  InitDemo();
  const std::uint32_t len = static_cast<std::uint32_t>(demo.nodes[0].checksum.size());
  SOD_ErrorInfo err{};
  SOD_Access inside = Segment(0xC400, 11, 8, 16);
  EXPECT_NE(SOD_ReadVirt(&inside, &err), nullptr);
  SOD_Access beyond = Segment(0xC400, 11, 20, static_cast<std::uint32_t>(demo.nodes[0].parameterSet.size()));
  EXPECT_EQ(SOD_ReadVirt(&beyond, &err), nullptr);
  EXPECT_EQ(err.ulAbortCode, 0x06070012u);
  SOD_Access unfilled = Segment(0xE3FF + 12, 9, 0, 4);
  EXPECT_EQ(SOD_ReadVirt(&unfilled, &err), nullptr);
  // The SCM fills the checksum buffer within its length; a whole write would copy the maximum.
  const Bytes value(len, 0x5C);
  SOD_Access part = Segment(0xC400, 15, 0, len);
  EXPECT_TRUE(SOD_WriteVirt(&part, value.data(), true));
  EXPECT_EQ(Read(0xC400, 15), value);
  SOD_Access whole = Segment(0xC400, 15, 0, 0);
  const Bytes big(0x20000, 1);
  EXPECT_FALSE(SOD_WriteVirt(&whole, big.data(), true));
  SOD_Access longer = Segment(0xC400, 15, 0, len + 4);
  EXPECT_FALSE(SOD_WriteVirt(&longer, big.data(), true));
  SOD_Access own = Segment(0xC40B, 15, 0, 0);
  EXPECT_TRUE(SOD_WriteVirt(&own, big.data(), true));
  (void)TakeEvents();
}

TEST_F(StartUpLoad, ALargeNodeParameterSetIsAccepted) {
  demo.nodes[3].parameterSet = Bytes(65536, 0x5A);
  const auto files = Files(demo);
  Init(files.kelParaSaf, files.corvaneDat, *files.parData1);
  EXPECT_TRUE(TakeEvents().empty());
  EXPECT_EQ(Read(0xC403, 11), demo.nodes[3].parameterSet);
}

TEST_F(StartUpLoad, AnEmptyKeyMediumLoadsNothingAndOnlyTheRefusedActivationIsReported) {
  // A sound "pardata1.bin" beside the empty key medium is neither parsed nor emptied.
  host.files["PARDATA1.BIN"] = *demoFiles.parData1;
  Init({}, demoFiles.corvaneDat, *demoFiles.parData1);
  EXPECT_EQ(TakeEvents(), WithNoNode({}));
  EXPECT_EQ(U32(0xC400, 1), 0u);
  EXPECT_EQ(U32(0x100C, 1), 100000u);
  EXPECT_EQ(Read(0xE3FF + demo.sets.front().sadr, static_cast<std::uint8_t>(demo.sets.front().number + 1)), Bytes{});
  EXPECT_EQ(host.files["PARDATA1.BIN"], *demoFiles.parData1);
}

}  // namespace
}  // namespace ParamTest
