// SSDO client: argument checks, transfers, preload, response errors and time-outs.
#include <functional>
#include <map>

#include "ScmProfile.h"
#include "ManagerFixture.h"
#include "SSDOCint.h"

namespace MgrTest {
namespace {

/// One completion.
struct Completion {
  u16 handle;  ///< handle
  u32 length;  ///< length
  u32 code;    ///< abort code
};
std::vector<Completion> g_done;  ///< completions of the running test
std::map<u16, int> g_perHandle;  ///< completions per handle

void Done(u16 handle, u32 length, u32 code) {
  g_done.push_back({handle, length, code});
  ++g_perHandle[handle];
}

constexpr u16 k_NODE = 9;  ///< SADR of the node the tests talk to

/// The bytes 0 .. n-1.
Bytes Counting(u8 n) {
  Bytes d(n);
  for (u8 i = 0; i < n; ++i) {
    d[i] = i;
  }
  return d;
}

class SsdocTest : public ManagerFixture {
 protected:
  void SetUp() override {
    ManagerFixture::SetUp();
    g_done.clear();
    g_perHandle.clear();
    std::memset(buf, 0xA5, sizeof buf);
  }
  void TearDown() override {
    // exactly one completion per started transfer
    for (auto [h, n] : g_perHandle) {
      EXPECT_EQ(n, 1) << "handle " << h;
    }
    ManagerFixture::TearDown();
  }

  /// Starts a read into buf.
  bool Read(u16 index, u8 sub, u32 type, u32 size, u8 pl = 12, u16 handle = 1) {
    SSDOC_TransferReq r = {index, sub, type, pl, buf, size};
    return SSDOC_SendReadReq(k_NODE, handle, Done, ct, &r);
  }
  /// Starts a write of data.
  bool Write(u32 type, const Bytes& d, u8 pl, u8 preload, u16 handle = 1) {
    data = d;
    SSDOC_TransferReq r = {0x101A, 0, type, pl, data.data(), static_cast<u32>(data.size())};
    return SSDOC_SendWriteReq(k_NODE, handle, Done, ct, &r, preload);
  }
  /// The last request frame, parsed.
  ParsedFrame Last() const {
    TestFrames::ParseOptions o;
    o.scmUdid = peer.scmUdid;
    return TestFrames::ParseFrame(g_fakes.sent.back().bytes, o);
  }
  /// Feeds an answer of the node to client 0 (CT = its sequence number unless given).
  bool Answer(const Bytes& payload, u8 tr = 0, int rct = -1, u8 id = 0x39) {
    SFS_FrameHeader h = {};
    h.usAdr = g_v.scmSadr;
    h.ucId = id;
    h.usSdn = g_v.sdn;
    h.ucLe = static_cast<u8>(payload.size());
    h.usCt = rct < 0 ? SSDOC_as_Serv[0].sReqHdr.usCt : static_cast<u16>(rct);
    h.usTadr = k_NODE;
    h.ucTr = tr;
    u8 p[24] = {};
    std::copy(payload.begin(), payload.end(), p);
    return SSDOC_ProcessResponse(ct, &h, p);
  }
  /// Runs the build call at the current CT with a budget.
  u8 Build(u8 budget = 10) {
    SSDOC_BuildRequest(ct, &budget);
    return budget;
  }

  u8 buf[64];   ///< destination of reads, with guard bytes behind
  Bytes data;   ///< source of writes
};

// ---- argument checks ----
struct ArgCase {
  const char* name;                                   ///< what is wrong
  std::function<void(SSDOC_TransferReq&, u16&, bool&)> spoil;  ///< changes request, SADR, completion
  u16 readCode;   ///< code of the read call
  u16 writeCode;  ///< code of the write call
};

class Args : public SsdocTest, public ::testing::WithParamInterface<ArgCase> {};

TEST_P(Args, AreCheckedInOrder) {
  for (int write = 0; write < 2; ++write) {
    g_fakes.errors.clear();
    SSDOC_TransferReq r = {0x1018, 1, SOD_k_UINT32, 12, buf, 4};
    u16 sadr = k_NODE;
    bool compl_ = true;
    GetParam().spoil(r, sadr, compl_);
    const bool nullReq = r.usIndex == 0xDEAD;
    SSDOC_TransferReq* req = nullReq ? nullptr : &r;
    const bool ok = write ? SSDOC_SendWriteReq(sadr, 1, compl_ ? Done : nullptr, ct, req, 0)
                          : SSDOC_SendReadReq(sadr, 1, compl_ ? Done : nullptr, ct, req);
    EXPECT_FALSE(ok);
    ASSERT_EQ(g_fakes.errors.size(), 1u) << Errors();
    EXPECT_EQ(g_fakes.errors[0].code, write ? GetParam().writeCode : GetParam().readCode);
  }
  EXPECT_TRUE(g_fakes.sent.empty());
  expectMaxCode = 0xFFFF;
}

INSTANTIATE_TEST_SUITE_P(
    Order, Args,
    ::testing::Values(
        ArgCase{"NoRequest", [](auto& r, auto&, auto&) { r.usIndex = 0xDEAD; r.pucData = nullptr; }, 0xFA06, 0xFA01},
        ArgCase{"Sadr0", [](auto& r, auto& s, auto&) { s = 0; r.pucData = nullptr; }, 0xFA07, 0xFA02},
        ArgCase{"Sadr1024", [](auto&, auto& s, auto&) { s = 1024; }, 0xFA07, 0xFA02},
        ArgCase{"NoData", [](auto& r, auto&, auto& c) { r.pucData = nullptr; r.ucPayloadLen = 3; c = false; }, 0xFA08,
                0xFA03},
        ArgCase{"Payload7", [](auto& r, auto&, auto& c) { r.ucPayloadLen = 7; r.ulDataType = 99; c = false; }, 0xFA09,
                0xFA04},
        ArgCase{"Payload255", [](auto& r, auto&, auto&) { r.ucPayloadLen = 255; }, 0xFA09, 0xFA04},
        ArgCase{"EightBytesInSmallPayload", [](auto& r, auto&, auto&) { r.ulDataType = SOD_k_UINT64; r.ulLength = 8; r.ucPayloadLen = 11; }, 0xFA0C, 0xFA0C},
        ArgCase{"UnknownType", [](auto& r, auto&, auto& c) { r.ulDataType = 14; c = false; }, 0xFA0D, 0xFA0D},
        ArgCase{"NoCompletion", [](auto&, auto&, auto& c) { c = false; }, 0xFA0A, 0xFA05}),
    [](const ::testing::TestParamInfo<ArgCase>& i) { return std::string(i.param.name); });

TEST_F(SsdocTest, ReadBufferSizeIsChecked) {
  EXPECT_FALSE(Read(0x1018, 1, SOD_k_UINT32, 3));
  EXPECT_FALSE(Read(0x1018, 6, SOD_k_OSTRING, 0));
  ASSERT_EQ(g_fakes.errors.size(), 2u);
  EXPECT_EQ(g_fakes.errors[0].code, 0xFA0B);
  EXPECT_EQ(g_fakes.errors[1].code, 0xFA0B);
  expectMaxCode = 0xFFFF;
}

/// Clients: one per node, 12 in the current release and 101 in the older one.
constexpr u16 k_CLIENTS = SCM_kLegacy ? 101 : 12;

TEST_F(SsdocTest, OneTransferPerSadrAndOneClientPerNode) {
  ASSERT_TRUE(Read(0x1018, 1, SOD_k_UINT32, 4));
  EXPECT_TRUE(SSDOC_TransferRunning(k_NODE));
  EXPECT_FALSE(Read(0x1018, 2, SOD_k_UINT32, 4, 12, 2));
  EXPECT_EQ(g_fakes.errors.back().code, 0xFA28);
  for (u16 s = 1; s < k_CLIENTS; ++s) {
    SSDOC_TransferReq r = {0x1018, 1, SOD_k_UINT32, 12, buf, 4};
    ASSERT_TRUE(SSDOC_SendReadReq(static_cast<u16>(300 + s), static_cast<u16>(300 + s), Done, ct, &r));
  }
  EXPECT_FALSE(SSDOC_CheckFsmAvailable());
  SSDOC_TransferReq r = {0x1018, 1, SOD_k_UINT32, 12, buf, 4};
  EXPECT_FALSE(SSDOC_SendReadReq(500, 500, Done, ct, &r));
  EXPECT_EQ(g_fakes.errors.back().code, 0xFA1D);
  g_perHandle.clear();  // these transfers are not driven to their end
  expectMaxCode = 0xFFFF;
}

TEST_F(SsdocTest, AnUnsentInitiateStartsNothing) {
  g_fakes.refuseSend = true;
  EXPECT_FALSE(Read(0x1018, 1, SOD_k_UINT32, 4));
  EXPECT_FALSE(SSDOC_TransferRunning(k_NODE));
  EXPECT_TRUE(g_done.empty());
  g_fakes.refuseSend = false;
  EXPECT_TRUE(Read(0x1018, 1, SOD_k_UINT32, 4));
  expectMaxCode = 0xFFFF;
  g_perHandle.clear();
}

// ---- uploads ----
struct ExpCase {
  const char* name;  ///< type and LE
  u32 type;          ///< data type
  u32 size;          ///< buffer size
  Bytes answer;      ///< data bytes of the 0x20 answer
  u32 code;          ///< completion code
  u32 length;        ///< completion length
};

class Expedited : public SsdocTest, public ::testing::WithParamInterface<ExpCase> {};

TEST_P(Expedited, UploadByTypeAndLe) {
  const ExpCase& c = GetParam();
  ASSERT_TRUE(Read(0x1018, 1, c.type, c.size));
  const ParsedFrame f = Last();
  EXPECT_EQ(f.id, 0x38);
  EXPECT_EQ(f.payload, (Bytes{0x20, 0x18, 0x10, 0x01}));
  Bytes a = {0x20, 0x18, 0x10, 0x01};
  a.insert(a.end(), c.answer.begin(), c.answer.end());
  Answer(a);
  ASSERT_EQ(g_done.size(), 1u);
  EXPECT_EQ(g_done[0].code, c.code);
  EXPECT_EQ(g_done[0].length, c.length);
  if (c.code == 0) {
    EXPECT_EQ(Bytes(buf, buf + c.length), Bytes(c.answer.begin(), c.answer.begin() + c.length));
  }
  EXPECT_EQ(buf[c.size], 0xA5);  // nothing past the destination
  EXPECT_FALSE(SSDOC_TransferRunning(k_NODE));
}

INSTANTIATE_TEST_SUITE_P(
    Types, Expedited,
    ::testing::Values(ExpCase{"U32Le8", SOD_k_UINT32, 4, {1, 2, 3, 4}, 0, 4},
                      ExpCase{"U32Le6", SOD_k_UINT32, 4, {1, 2}, 0x06070010, 0},
                      ExpCase{"U8Le5", SOD_k_UINT8, 1, {7}, 0, 1},
                      ExpCase{"U16Le6", SOD_k_INT16, 2, {7, 8}, 0, 2},
                      ExpCase{"U16Le8", SOD_k_UINT16, 2, {7, 8, 9, 10}, 0x06070010, 0},
                      ExpCase{"U64Le12", SOD_k_UINT64, 8, {1, 2, 3, 4, 5, 6, 7, 8}, 0, 8},
                      ExpCase{"StringFits", SOD_k_OSTRING, 6, {1, 2, 3, 4, 5, 6}, 0, 6},
                      ExpCase{"StringEmpty", SOD_k_OSTRING, 6, {}, 0, 0},
                      ExpCase{"StringTooLong", SOD_k_OSTRING, 5, {1, 2, 3, 4, 5, 6}, 0x06070010, 0}),
    [](const ::testing::TestParamInfo<ExpCase>& i) { return std::string(i.param.name); });

TEST_F(SsdocTest, SegmentedUploadOfKnownSizeWithToggles) {
  ASSERT_TRUE(Read(0x1018, 6, SOD_k_OSTRING, 40));
  Bytes value(27);
  for (u8 i = 0; i < 27; ++i) {
    value[i] = static_cast<u8>(i + 1);
  }
  const u16 sano0 = SSDOC_as_Serv[0].sReqHdr.usCt;
  Answer({0x28, 0x18, 0x10, 0x06, 27, 0, 0, 0, 1, 2, 3, 4});
  EXPECT_EQ(Last().payload, (Bytes{0x18, 0x18, 0x10, 0x06}));
  EXPECT_EQ(Last().ct, static_cast<u16>(sano0 + 1));
  Bytes seg = {0x18};
  seg.insert(seg.end(), value.begin() + 4, value.begin() + 15);
  Answer(seg);
  EXPECT_EQ(Last().payload, (Bytes{0x08, 0x18, 0x10, 0x06}));
  seg = {0x08};
  seg.insert(seg.end(), value.begin() + 15, value.begin() + 26);
  Answer(seg);
  EXPECT_EQ(Last().payload, (Bytes{0x18, 0x18, 0x10, 0x06}));
  Answer({0x58, 27});
  ASSERT_EQ(g_done.size(), 1u);
  EXPECT_EQ(g_done[0].code, 0u);
  EXPECT_EQ(g_done[0].length, 27u);
  EXPECT_EQ(Bytes(buf, buf + 27), value);
  EXPECT_EQ(buf[27], 0xA5);
}

TEST_F(SsdocTest, SegmentedUploadOfUnknownSizeEndsAtTheFirstLastSegment) {
  ASSERT_TRUE(Read(0x1018, 6, SOD_k_OSTRING, 40));
  Answer({0x28, 0x18, 0x10, 0x06, 0, 0, 0, 0, 1, 2, 3, 4});
  Answer({0x58, 5, 6});
  ASSERT_EQ(g_done.size(), 1u);
  EXPECT_EQ(g_done[0].code, 0u);
  EXPECT_EQ(g_done[0].length, 6u);
  EXPECT_EQ(Bytes(buf, buf + 6), (Bytes{1, 2, 3, 4, 5, 6}));
}

TEST_F(SsdocTest, SegmentedUploadLargerThanTheBufferIsAborted) {
  ASSERT_TRUE(Read(0x1018, 6, SOD_k_OSTRING, 10));
  Answer({0x28, 0x18, 0x10, 0x06, 11, 0, 0, 0, 1, 2, 3, 4});
  EXPECT_EQ(Last().payload, (Bytes{0x04, 0x18, 0x10, 0x06, 0x10, 0x00, 0x07, 0x06}));
  ASSERT_EQ(g_done.size(), 1u);
  EXPECT_EQ(g_done[0].code, 0x06070010u);
  EXPECT_EQ(g_done[0].length, 11u);
  EXPECT_TRUE(HasError(0x2A11));
  EXPECT_EQ(buf[0], 0xA5);
}

TEST_F(SsdocTest, UnknownSizeUploadNeverWritesPastTheBuffer) {
  ASSERT_TRUE(Read(0x1018, 6, SOD_k_OSTRING, 10));
  Answer({0x28, 0x18, 0x10, 0x06, 0, 0, 0, 0, 1, 2, 3, 4});
  Answer({0x58, 5, 6, 7, 8, 9, 10, 11, 12});
  ASSERT_EQ(g_done.size(), 1u);
  EXPECT_TRUE(HasError(0x2A24));
  EXPECT_EQ(g_done[0].code, 0x06070010u);
  EXPECT_EQ(buf[10], 0xA5);
}

// ---- sequence numbers ----
TEST_F(SsdocTest, SequenceNumberIncrementsKeepsOnRepetitionWrapsToOneAndIsZeroAfterAReset) {
  EXPECT_EQ(SSDOC_as_Serv[0].sReqHdr.usCt, 0);
  ASSERT_TRUE(Read(0x1018, 1, SOD_k_UINT32, 4, 12, 1));
  EXPECT_EQ(Last().ct, 1);
  ct += g_v.ssdoTimeout;
  Build();
  EXPECT_EQ(Last().ct, 1);  // a repetition keeps it
  Answer({0x20, 0x18, 0x10, 0x01, 1, 2, 3, 4});
  ASSERT_TRUE(Read(0x1018, 1, SOD_k_UINT32, 4, 12, 2));
  EXPECT_EQ(Last().ct, 2);
  Answer({0x20, 0x18, 0x10, 0x01, 1, 2, 3, 4});
  SSDOC_as_Serv[0].sReqHdr.usCt = 0xFFFF;
  ASSERT_TRUE(Read(0x1018, 1, SOD_k_UINT32, 4, 12, 3));
  EXPECT_EQ(Last().ct, 1);
  // the time-out's abort resets the service machine
  for (int i = 0; i < 3; ++i) {
    ct += g_v.ssdoTimeout;
    Build();
  }
  EXPECT_EQ(Last().payload[0], 0x04);
  EXPECT_EQ(SSDOC_as_Serv[0].sReqHdr.usCt, 0);
  ASSERT_TRUE(Read(0x1018, 1, SOD_k_UINT32, 4, 12, 4));
  EXPECT_EQ(Last().ct, 1);
  Answer({0x20, 0x18, 0x10, 0x01, 1, 2, 3, 4});
}

TEST_F(SsdocTest, AWrongSequenceNumberIsDropped) {
  ASSERT_TRUE(Read(0x1018, 1, SOD_k_UINT32, 4));
  EXPECT_FALSE(Answer({0x20, 0x18, 0x10, 0x01, 1, 2, 3, 4}, 0, 7));
  EXPECT_TRUE(HasError(0x2A2A));
  EXPECT_TRUE(g_done.empty());
  EXPECT_TRUE(Answer({0x20, 0x18, 0x10, 0x01, 1, 2, 3, 4}));
  EXPECT_EQ(g_done.size(), 1u);
}

// ---- downloads ----
TEST_F(SsdocTest, FixedTypesAndShortStringsGoExpedited) {
  data = {0x11, 0x22, 0x33, 0x44, 0x55};
  SSDOC_TransferReq r = {0x2000, 2, SOD_k_UINT32, 12, data.data(), 99};
  ASSERT_TRUE(SSDOC_SendWriteReq(k_NODE, 1, Done, ct, &r, 1));
  EXPECT_EQ(r.ulLength, 4u);
  EXPECT_EQ(Last().id, 0x38);  // preload is kept only for strings
  EXPECT_EQ(Last().payload, (Bytes{0x21, 0x00, 0x20, 0x02, 0x11, 0x22, 0x33, 0x44}));
  Answer({0x21, 0x00, 0x20, 0x02});
  ASSERT_TRUE(Write(SOD_k_OSTRING, {1, 2, 3, 4, 5, 6, 7, 8}, 12, 1, 2));
  EXPECT_EQ(Last().id, 0x3A);  // a short string goes slim and expedited
  EXPECT_EQ(Last().payload, (Bytes{0x21, 0x1A, 0x10, 0x00, 1, 2, 3, 4, 5, 6, 7, 8}));
  EXPECT_TRUE(Answer({0x21, 0x1A, 0x10, 0x00}, 0, -1, 0x3B));
  ASSERT_EQ(g_done.size(), 2u);
  EXPECT_EQ(g_done[1].length, 8u);
  EXPECT_EQ(g_done[1].code, 0u);
}

TEST_F(SsdocTest, PlainSegmentedDownload) {
  const Bytes d = Counting(30);
  ASSERT_TRUE(Write(SOD_k_OSTRING, d, 12, 0));
  // The older release has no preload: its segmented download starts with 0x29.
  Bytes init = {static_cast<u8>(SCM_kLegacy ? 0x29 : 0x2B), 0x1A, 0x10, 0x00, 30, 0, 0, 0, 0, 1, 2, 3};
  EXPECT_EQ(Last().payload, init);
  Answer({0x29, 0x1A, 0x10, 0x00});
  EXPECT_EQ(Last().payload, (Bytes{0x19, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14}));
  Answer({0x19});
  EXPECT_EQ(Last().payload, (Bytes{0x09, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25}));
  Answer({0x09});
  EXPECT_EQ(Last().payload, (Bytes{0x59, 26, 27, 28, 29}));
  Answer({0x59});
  ASSERT_EQ(g_done.size(), 1u);
  EXPECT_EQ(g_done[0].code, 0u);
  EXPECT_EQ(g_done[0].length, 30u);
}

TEST_F(SsdocTest, RefusedPreloadFallsBackToPlainWithoutUsingARepetition) {
  if constexpr (SCM_kLegacy) {
    GTEST_SKIP() << "the older release never asks for preload (next test)";
  }
  ASSERT_TRUE(Write(SOD_k_OSTRING, Bytes(30, 7), 12, 1));
  const u16 sano = Last().ct;
  EXPECT_TRUE(Answer({0x04, 0x1A, 0x10, 0x00, 0x01, 0x00, 0x04, 0x05}, 0, -1, 0x3B));
  EXPECT_TRUE(g_done.empty());
  const u8 left = SSDOC_as_Timer[0].ucRepLeft;
  EXPECT_EQ(Build(), 9);
  EXPECT_EQ(Last().payload[0], 0x29);
  EXPECT_EQ(Last().ct, sano);
  EXPECT_EQ(SSDOC_as_Timer[0].ucRepLeft, left);
  Answer({0x29, 0x1A, 0x10, 0x00}, 0, -1, 0x3B);
  EXPECT_EQ(Last().payload[0], 0x19);
  g_perHandle.clear();
}

TEST_F(SsdocTest, OlderReleaseEndsADownloadOnAnAbortWithItsCodeAndDropsAResponseWithTrOne) {
  if constexpr (!SCM_kLegacy) {
    GTEST_SKIP() << "the current release falls back to a plain download on 0x05040001";
  }
  ASSERT_TRUE(Write(SOD_k_OSTRING, Bytes(30, 7), 12, 1));
  EXPECT_EQ(Last().payload[0], 0x29);
  EXPECT_TRUE(Answer({0x04, 0x1A, 0x10, 0x00, 0x01, 0x00, 0x04, 0x05}, 0, -1, 0x3B));
  ASSERT_EQ(g_done.size(), 1u);
  EXPECT_EQ(g_done[0].code, 0x05040001u);
  // A response with TR 1 is dropped before its sequence number is looked at.
  g_done.clear();
  ASSERT_TRUE(Read(0x1018, 1, SOD_k_UINT32, 4));
  g_fakes.errors.clear();
  EXPECT_FALSE(Answer({0x20, 0x18, 0x10, 0x01, 1, 0, 0, 0}, 1));
  ASSERT_FALSE(g_fakes.errors.empty());
  EXPECT_EQ(g_fakes.errors[0].code, 0x2A29);
  EXPECT_EQ(g_fakes.errors[0].info, 1u);
  EXPECT_TRUE(g_done.empty());
  g_perHandle.clear();
  expectMaxCode = 0xFFFF;
}

// Preload: the current release only (the older release has no preload and no window fields).
#if !SCM_PROFILE_LEGACY
TEST_F(SsdocTest, PreloadWindowAcknowledgementsAndTheLastSegmentWithAnEmptyWindow) {
  const Bytes d = Counting(60);
  ASSERT_TRUE(Write(SOD_k_OSTRING, d, 12, 1));
  const u16 s0 = Last().ct;
  Answer({0x2B, 0x1A, 0x10, 0x00}, 0x33, -1, 0x3B);  // window 3
  EXPECT_EQ(SSDOC_as_Prot[0].ucWindow, 3);
  // remaining 56: segments of 11 at offsets 0, 11, 22, 33, then the last 1 byte
  EXPECT_EQ(Build(), 9);
  EXPECT_EQ(Build(), 9);
  EXPECT_EQ(Build(), 9);
  EXPECT_EQ(Build(), 10);  // window full
  EXPECT_EQ(SSDOC_as_Prot[0].ucFreePlaces, 0);
  const std::size_t n = g_fakes.sent.size();
  EXPECT_EQ(TestFrames::ParseFrame(g_fakes.sent[n - 3].bytes, {peer.scmUdid, {}}).payload[0], 0x1B);
  EXPECT_EQ(TestFrames::ParseFrame(g_fakes.sent[n - 2].bytes, {peer.scmUdid, {}}).payload[0], 0x0B);
  EXPECT_EQ(Last().payload, (Bytes{0x1B, 26, 27, 28, 29, 30, 31, 32, 33, 34, 35, 36}));
  EXPECT_EQ(Last().ct, static_cast<u16>(s0 + 3));
  EXPECT_TRUE(Answer({0x1B}, 0, s0 + 1, 0x3B));
  EXPECT_EQ(SSDOC_as_Prot[0].ucFreePlaces, 1);
  EXPECT_EQ(Build(), 9);  // the fourth middle segment
  EXPECT_TRUE(Answer({0x0B}, 0, s0 + 2, 0x3B));
  EXPECT_EQ(Build(), 9);  // the fifth
  EXPECT_EQ(Build(), 10);  // the last one waits for an empty window
  EXPECT_TRUE(Answer({0x0B}, 0, s0 + 4, 0x3B));  // acknowledges up to s0 + 4
  EXPECT_EQ(SSDOC_as_Prot[0].ucFreePlaces, 2);
  EXPECT_EQ(Build(), 10);
  EXPECT_FALSE(Answer({0x0B}, 0, s0 + 4, 0x3B));  // a duplicate is dropped
  EXPECT_TRUE(Answer({0x1B}, 0, s0 + 5, 0x3B));
  EXPECT_EQ(SSDOC_as_Prot[0].ucFreePlaces, 3);
  EXPECT_EQ(Build(), 9);
  EXPECT_EQ(Last().payload[0] & 0xEF, 0x49);
  EXPECT_EQ(Last().payload.size(), 2u);
  EXPECT_EQ(Last().payload[1], 59);
  EXPECT_TRUE(Answer({Last().payload[0]}, 0, -1, 0x3B));
  ASSERT_EQ(g_done.size(), 1u);
  EXPECT_EQ(g_done[0].code, 0u);
  EXPECT_EQ(g_done[0].length, 60u);
}

TEST_F(SsdocTest, PreloadRepeatRewindsToTheAcknowledgedSegment) {
  const Bytes d = Counting(60);
  ASSERT_TRUE(Write(SOD_k_OSTRING, d, 12, 1));
  const u16 s0 = Last().ct;
  Answer({0x2B, 0x1A, 0x10, 0x00}, 0x33, -1, 0x3B);
  Build();
  Build();
  Build();
  // segment s0+1 was lost: the node asks for it twice (for s0+2 and s0+3)
  EXPECT_TRUE(Answer({0x1B}, 0x30, s0 + 1, 0x3B));
  EXPECT_EQ(SSDOC_as_Prot[0].ucRepeatSeen, 1);
  EXPECT_EQ(SSDOC_as_Prot[0].ucRepeatCount, 2);
  EXPECT_TRUE(Answer({0x0B}, 0x30, s0 + 1, 0x3B));
  EXPECT_EQ(SSDOC_as_Prot[0].ucRepeatCount, 1);
  Build();
  EXPECT_EQ(Last().ct, static_cast<u16>(s0 + 1));
  EXPECT_EQ(Last().payload[1], 4);  // the data of the acknowledged offset
  g_perHandle.clear();
}
#endif

// ---- response errors by state ----
struct ErrCase {
  const char* name;             ///< state and fault
  std::function<void(SsdocTest&)> start;  ///< brings client 0 into the state
  Bytes answer;                 ///< the faulty answer
  u16 code;                     ///< error
  u32 compl_;                   ///< completion code
};

class ResponseErrors : public SsdocTest, public ::testing::WithParamInterface<ErrCase> {
 public:
  void DoRead(u32 type, u32 size) { ASSERT_TRUE(Read(0x1018, 6, type, size)); }
  void DoUploadSegment() {
    DoRead(SOD_k_OSTRING, 40);
    Answer({0x28, 0x18, 0x10, 0x06, 30, 0, 0, 0, 1, 2, 3, 4});
  }
  void DoUploadUnknown() {
    DoRead(SOD_k_OSTRING, 40);
    Answer({0x28, 0x18, 0x10, 0x06, 0, 0, 0, 0, 1, 2, 3, 4});
  }
  void DoUploadLast() {
    DoRead(SOD_k_OSTRING, 40);
    Answer({0x28, 0x18, 0x10, 0x06, 10, 0, 0, 0, 1, 2, 3, 4});
  }
  void DoWriteExp() { ASSERT_TRUE(Write(SOD_k_OSTRING, {1, 2}, 12, 0)); }
  void DoWriteSeg() { ASSERT_TRUE(Write(SOD_k_OSTRING, Bytes(40, 1), 12, 0)); }
  void DoWriteMiddle() {
    DoWriteSeg();
    Answer({0x29, 0x1A, 0x10, 0x00});
  }
  void DoWriteLast() {
    ASSERT_TRUE(Write(SOD_k_OSTRING, Bytes(12, 1), 12, 0));
    Answer({0x29, 0x1A, 0x10, 0x00});
  }
};

TEST_P(ResponseErrors, EndTheTransferWithTheirCode) {
  const ErrCase& c = GetParam();
  c.start(*this);
  g_fakes.errors.clear();
  Answer(c.answer);
  ASSERT_EQ(g_done.size(), 1u) << Errors();
  EXPECT_EQ(g_done[0].code, c.compl_);
  if (c.code != 0) {
    EXPECT_TRUE(HasError(c.code)) << Errors();
  }
  EXPECT_FALSE(SSDOC_TransferRunning(k_NODE));
  EXPECT_EQ(buf[40], 0xA5);
}

using RE = ResponseErrors;
INSTANTIATE_TEST_SUITE_P(
    ByState, ResponseErrors,
    ::testing::Values(
        ErrCase{"EmptyAnswer", [](SsdocTest& t) { static_cast<RE&>(t).DoRead(SOD_k_UINT32, 4); }, {}, 0x2A21, 0x06070010},
        ErrCase{"ShortAnswer", [](SsdocTest& t) { static_cast<RE&>(t).DoRead(SOD_k_UINT32, 4); }, {0x20, 0x18}, 0x2A21, 0x06070010},
        ErrCase{"ToggleSetTooEarly", [](SsdocTest& t) { static_cast<RE&>(t).DoRead(SOD_k_UINT32, 4); }, {0x30, 0x18, 0x10, 0x06, 1, 2, 3, 4}, 0x2A1E, 0x05040001},
        ErrCase{"OtherIndex", [](SsdocTest& t) { static_cast<RE&>(t).DoRead(SOD_k_UINT32, 4); }, {0x20, 0x19, 0x10, 0x06, 1, 2, 3, 4}, 0x2A1F, 0x06040043},
        ErrCase{"OtherSub", [](SsdocTest& t) { static_cast<RE&>(t).DoRead(SOD_k_UINT32, 4); }, {0x20, 0x18, 0x10, 0x07, 1, 2, 3, 4}, 0x2A20, 0x06040043},
        ErrCase{"UploadWrongCommand", [](SsdocTest& t) { static_cast<RE&>(t).DoRead(SOD_k_UINT32, 4); }, {0x21, 0x18, 0x10, 0x06}, 0x2A23, 0x05040001},
        ErrCase{"UploadAbortCode", [](SsdocTest& t) { static_cast<RE&>(t).DoRead(SOD_k_UINT32, 4); }, {0x04, 0x18, 0x10, 0x06, 0x00, 0x00, 0x02, 0x06}, 0, 0x06020000},
        ErrCase{"AbortCodeZero", [](SsdocTest& t) { static_cast<RE&>(t).DoRead(SOD_k_UINT32, 4); }, {0x04, 0x18, 0x10, 0x06, 0, 0, 0, 0}, 0, 0x08000000},
        ErrCase{"AbortShort", [](SsdocTest& t) { static_cast<RE&>(t).DoRead(SOD_k_UINT32, 4); }, {0x04, 0x18, 0x10, 0x06, 0, 0}, 0x2A22, 0x06070010},
        ErrCase{"SegInitShort", [](SsdocTest& t) { static_cast<RE&>(t).DoRead(SOD_k_OSTRING, 40); }, {0x28, 0x18, 0x10, 0x06, 30, 0}, 0x2A12, 0x06070010},
        ErrCase{"UploadSegmentLong", [](SsdocTest& t) { static_cast<RE&>(t).DoUploadSegment(); }, Bytes{0x18, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}, 0x2A13, 0x06070010},
        ErrCase{"UploadSegmentEmpty", [](SsdocTest& t) { static_cast<RE&>(t).DoUploadSegment(); }, {0x18}, 0x2A13, 0x06070010},
        ErrCase{"UploadEndTooEarly", [](SsdocTest& t) { static_cast<RE&>(t).DoUploadSegment(); }, {0x58, 1, 2}, 0x2A15, 0x05040001},
        ErrCase{"UploadToggleStale", [](SsdocTest& t) { static_cast<RE&>(t).DoUploadSegment(); }, {0x28, 0x18, 0x10, 0x06, 1, 2, 3, 4}, 0x2A23, 0x05040001},
        ErrCase{"UploadLastWrongLength", [](SsdocTest& t) { static_cast<RE&>(t).DoUploadLast(); }, {0x58, 1, 2}, 0x2A16, 0x06070010},
        ErrCase{"UploadLastEmpty", [](SsdocTest& t) { static_cast<RE&>(t).DoUploadLast(); }, {0x58}, 0x2A17, 0x06070010},
        ErrCase{"ExpeditedDownloadLong", [](SsdocTest& t) { static_cast<RE&>(t).DoWriteExp(); }, {0x21, 0x1A, 0x10, 0x00, 0}, 0x2A18, 0x06070010},
        ErrCase{"SegDownloadLong", [](SsdocTest& t) { static_cast<RE&>(t).DoWriteSeg(); }, {0x29, 0x1A, 0x10, 0x00, 0}, 0x2A19, 0x06070010},
        ErrCase{"SegDownloadAbort", [](SsdocTest& t) { static_cast<RE&>(t).DoWriteSeg(); }, {0x04, 0x1A, 0x10, 0x00, 0x02, 0x00, 0x04, 0x05}, 0, 0x05040002},
        ErrCase{"MiddleLong", [](SsdocTest& t) { static_cast<RE&>(t).DoWriteMiddle(); }, {0x19, 0}, 0x2A21, 0x06070010},
        ErrCase{"MiddleWrongCommand", [](SsdocTest& t) { static_cast<RE&>(t).DoWriteMiddle(); }, {0x18}, 0x2A23, 0x05040001},
        ErrCase{"MiddlePreloadAnswerWithoutPreload", [](SsdocTest& t) { static_cast<RE&>(t).DoWriteMiddle(); }, {0x0B}, 0x2A23, 0x05040001},
        ErrCase{"MiddleLongWithData", [](SsdocTest& t) { static_cast<RE&>(t).DoWriteMiddle(); }, {0x19, 0, 0, 0}, 0x2A1A, 0x06070010},
        ErrCase{"UnknownSizeEndEmpty", [](SsdocTest& t) { static_cast<RE&>(t).DoUploadUnknown(); }, {0x58}, 0x2A14, 0x06070010},
        ErrCase{"LastWrongCommand", [](SsdocTest& t) { static_cast<RE&>(t).DoWriteLast(); }, {0x19}, 0x2A23, 0x05040001},
        ErrCase{"LastLong", [](SsdocTest& t) { static_cast<RE&>(t).DoWriteLast(); }, {0x59, 0, 0, 0}, 0x2A1B, 0x06070010}),
    [](const ::testing::TestParamInfo<ErrCase>& i) { return std::string(i.param.name); });

TEST_F(SsdocTest, AnswersThatMatchNoRequestAreDropped) {
  EXPECT_FALSE(Answer({0x20, 0x18, 0x10, 0x01, 1, 2, 3, 4}));
  EXPECT_TRUE(HasError(0x2A0E));
  ASSERT_TRUE(Read(0x1018, 1, SOD_k_UINT32, 4));
  EXPECT_FALSE(Answer({0x20, 0x18, 0x10, 0x01, 1, 2, 3, 4}, 0, -1, 0x3B));  // slim answer to a normal request
  SFS_FrameHeader h = {};  // other domain
  h.usAdr = 1;
  h.ucId = 0x39;
  h.usSdn = 2;
  h.ucLe = 8;
  h.usCt = 1;
  h.usTadr = k_NODE;
  u8 p[24] = {0x20, 0x18, 0x10, 0x01, 1, 2, 3, 4};
  EXPECT_FALSE(SSDOC_ProcessResponse(ct, &h, p));
  h.usSdn = 1;
  h.usTadr = 10;  // other node
  EXPECT_FALSE(SSDOC_ProcessResponse(ct, &h, p));
  EXPECT_TRUE(g_done.empty());
  EXPECT_TRUE(Answer({0x20, 0x18, 0x10, 0x01, 1, 2, 3, 4}));
  EXPECT_EQ(g_done.size(), 1u);
}

// ---- time-out ----
class Timeout : public SsdocTest, public ::testing::WithParamInterface<u32> {};

TEST_P(Timeout, RepetitionsThenAbortFrameAndCompletion) {
  ct = GetParam();
  ASSERT_TRUE(Read(0x1018, 1, SOD_k_UINT32, 4));
  const u16 sano = Last().ct;
  ct += g_v.ssdoTimeout - 1;
  EXPECT_EQ(Build(), 10);
  for (int i = 0; i < g_v.ssdoRetries; ++i) {
    ct += 1;
    EXPECT_EQ(Build(), 9);
    EXPECT_EQ(Last().payload[0], 0x20);
    EXPECT_EQ(Last().ct, sano);
    ct += g_v.ssdoTimeout - 1;
    EXPECT_EQ(Build(), 10);
  }
  EXPECT_EQ(Build(0), 0);  // no budget: nothing
  ct += 1;
  EXPECT_EQ(Build(), 9);
  EXPECT_EQ(Last().payload, (Bytes{0x04, 0x18, 0x10, 0x01, 0x00, 0x00, 0x04, 0x05}));
  ASSERT_EQ(g_done.size(), 1u);
  EXPECT_EQ(g_done[0].length, 4u);
  EXPECT_EQ(g_done[0].code, 0x05040000u);
}

INSTANTIATE_TEST_SUITE_P(Deadlines, Timeout, ::testing::Values(0x1000u, 0x7FFFFF80u, 0xFFFFFF80u));

TEST_F(SsdocTest, FramesThatCannotBeSentStayDue) {
  ASSERT_TRUE(Write(SOD_k_OSTRING, Bytes(30, 3), 12, 0));
  g_fakes.refuseSend = true;
  Answer({0x29, 0x1A, 0x10, 0x00});  // the first segment cannot go out
  const u8 left = SSDOC_as_Timer[0].ucRepLeft;
  EXPECT_EQ(Build(), 10);
  g_fakes.refuseSend = false;
  EXPECT_EQ(Build(), 9);
  EXPECT_EQ(Last().payload[0], 0x19);
  EXPECT_EQ(SSDOC_as_Timer[0].ucRepLeft, left);
  Answer({0x19});
  EXPECT_EQ(Last().payload[0], 0x09);
  // the time-out's abort frame that cannot go out is sent by the next check
  for (int i = 0; i < g_v.ssdoRetries; ++i) {
    ct += 10 * g_v.ssdoTimeout;
    EXPECT_EQ(Build(), 9);
    EXPECT_EQ(Last().payload[0], 0x09);
  }
  g_fakes.refuseSend = true;
  ct += 10 * g_v.ssdoTimeout;
  Build();
  EXPECT_TRUE(g_done.empty());
  g_fakes.refuseSend = false;
  EXPECT_EQ(Build(), 9);
  EXPECT_EQ(Last().payload[0], 0x04);
  ASSERT_EQ(g_done.size(), 1u);
  EXPECT_EQ(g_done[0].code, 0x05040000u);
  expectMaxCode = 0xFFFF;  // the refused sends are the platform's reports
}

TEST_F(SsdocTest, NoCounterIsRefused) {
  SSDOC_BuildRequest(0, nullptr);
  EXPECT_TRUE(HasError(0xFA25));
  expectMaxCode = 0xFFFF;
}

}  // namespace
}  // namespace MgrTest
