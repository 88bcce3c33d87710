// The node's SSDO server both ways: expedited, segmented, preload, repeat
// requests, refusals and aborts; answers within the dispatcher's size.
#include <gtest/gtest.h>

#include "NodeTestSupport.h"

namespace NodeTest {
namespace {

using SimNodes::SimNode;

constexpr std::size_t kMaxFrame = 37;  ///< largest frame the SCM's dispatcher takes

/// Checks the size rules of every SSDO answer and returns it parsed.
TestFrames::ParsedFrame Checked(const Bytes& frame, std::size_t maxLe, const Udid& udid = kScmUdid) {
  EXPECT_LE(frame.size(), kMaxFrame);
  TestFrames::ParsedFrame a = Parse(frame, udid);
  EXPECT_TRUE(a.ok) << a.error;
  EXPECT_LE(a.le, maxLe);
  EXPECT_EQ(a.adr, kScmSadr);
  EXPECT_EQ(a.tadr, kPosition);
  EXPECT_EQ(a.sdn, kSdn);
  return a;
}

/// Result of an upload run as a client does it.
struct UploadRun {
  Bytes data;                 ///< the value uploaded
  std::vector<u8> answerLes;  ///< LE of every answer
  std::optional<u32> abort;   ///< abort code, when aborted
  bool silent = false;        ///< a request went unanswered
};

/// Uploads index/sub: initiate, then segment requests with the toggle.
UploadRun Upload(SimNode& node, u16 index, u8 sub, std::size_t maxLe) {
  UploadRun run;
  u16 sano = 1;
  std::optional<Bytes> a = node.Receive(Ssdo(WithIndex(0x20, index, sub), sano), {});
  u8 toggle = 0;
  u32 total = 0;
  for (int guard = 0; guard < 100; ++guard) {
    if (!a) {
      run.silent = true;
      return run;
    }
    const TestFrames::ParsedFrame p = Checked(*a, maxLe);
    EXPECT_EQ(p.ct, sano);
    run.answerLes.push_back(p.le);
    const u8 cmd = p.payload.at(0);
    if (cmd == 0x04) {
      run.abort = GetU32(p.payload, 4);
      return run;
    }
    if (cmd == 0x20) {
      run.data.assign(p.payload.begin() + 4, p.payload.end());
      return run;
    }
    if (cmd == 0x28) {
      total = GetU32(p.payload, 4);
      run.data.assign(p.payload.begin() + 8, p.payload.end());
    } else {
      EXPECT_EQ(cmd & 0xBF, toggle | 0x08);
      run.data.insert(run.data.end(), p.payload.begin() + 1, p.payload.end());
      if (cmd & 0x40) {
        EXPECT_EQ(run.data.size(), total);
        return run;
      }
    }
    toggle ^= 0x10;
    ++sano;
    a = node.Receive(Ssdo(WithIndex(static_cast<u8>(0x08 | toggle), index, sub), sano), {});
  }
  ADD_FAILURE() << "upload did not end";
  return run;
}

struct UploadCase {
  const char* name;            ///< case name
  u8 sub;                      ///< sub-index of 0x1018
  std::size_t checksumSize;    ///< size of the node's checksum
  u16 payloadLimit;            ///< the node's payload limit
  std::vector<u8> les;         ///< expected answer LEs
};

class UploadTable : public ::testing::TestWithParam<UploadCase> {};

TEST_P(UploadTable, DeliversTheValueWithinTheLimit) {
  const UploadCase& c = GetParam();
  SimNodes::NodeConfig config = DefaultConfig();
  config.payloadLimit = c.payloadLimit;
  config.checksum.resize(c.checksumSize);
  for (std::size_t i = 0; i < c.checksumSize; ++i) {
    config.checksum[i] = static_cast<u8>(0xA0 + i);
  }
  SimNode node(config);
  Configure(node);
  const UploadRun run = Upload(node, 0x1018, c.sub, std::min<std::size_t>(c.payloadLimit, 12));
  EXPECT_FALSE(run.abort);
  EXPECT_EQ(run.answerLes, c.les);
  Bytes expected;
  switch (c.sub) {
    case 1: PutU32(expected, config.vendorId); break;
    case 2: PutU32(expected, config.productCode); break;
    case 3: PutU32(expected, config.revision); break;
    case 6: expected = config.checksum; break;
    case 7: PutU32(expected, config.timestamp); break;
  }
  EXPECT_EQ(run.data, expected);
}

INSTANTIATE_TEST_SUITE_P(
    Uploads, UploadTable,
    ::testing::Values(UploadCase{"Vendor", 1, 4, 12, {8}}, UploadCase{"Product", 2, 4, 12, {8}},
                      UploadCase{"Revision", 3, 4, 12, {8}}, UploadCase{"Timestamp", 7, 4, 12, {8}},
                      UploadCase{"VendorLimit8", 1, 4, 8, {8}}, UploadCase{"ChecksumEmpty", 6, 0, 12, {4}},
                      UploadCase{"Checksum4", 6, 4, 12, {8}}, UploadCase{"Checksum8Expedited", 6, 8, 12, {12}},
                      UploadCase{"Checksum9Segmented", 6, 9, 12, {12, 6}},
                      UploadCase{"Checksum27Segmented", 6, 27, 12, {12, 12, 12, 2}},
                      UploadCase{"Checksum8Limit8", 6, 8, 8, {8, 8, 2}},
                      UploadCase{"Checksum9Limit8", 6, 9, 8, {8, 8, 3}},
                      UploadCase{"Checksum32Limit200", 6, 32, 200, {12, 12, 12, 7}}),
    [](const auto& info) { return std::string(info.param.name); });

struct RefusalCase {
  const char* name;   ///< case name
  Bytes request;      ///< initiate request payload
  std::optional<u32> abort;  ///< expected abort code, none = no answer
};

class RefusalTable : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(RefusalTable, AbortsOrStaysSilent) {
  const RefusalCase& c = GetParam();
  SimNode node(DefaultConfig());
  Configure(node);
  const std::optional<Bytes> a = node.Receive(Ssdo(c.request, 9), {});
  if (!c.abort) {
    EXPECT_FALSE(a);
    return;
  }
  ASSERT_TRUE(a);
  const TestFrames::ParsedFrame p = Checked(*a, 12);
  ASSERT_EQ(p.le, 8);
  EXPECT_EQ(p.payload[0], 0x04);
  EXPECT_EQ(Bytes(p.payload.begin() + 1, p.payload.begin() + 4), Bytes(c.request.begin() + 1, c.request.begin() + 4));
  EXPECT_EQ(GetU32(p.payload, 4), *c.abort);
  EXPECT_EQ(p.ct, 9);
}

Bytes Initiate(u8 cmd, u16 index, u8 sub, Bytes tail) {
  Bytes b = WithIndex(cmd, index, sub);
  b.insert(b.end(), tail.begin(), tail.end());
  return b;
}

INSTANTIATE_TEST_SUITE_P(
    Refusals, RefusalTable,
    ::testing::Values(
        RefusalCase{"UnknownSub", WithIndex(0x20, 0x1018, 4), 0x06090011},
        RefusalCase{"UnknownObject", WithIndex(0x20, 0x2000, 0), 0x06020000},
        RefusalCase{"ParameterSetNotReadable", WithIndex(0x20, 0x101A, 0), 0x06010001},
        RefusalCase{"UnknownCommand", WithIndex(0x30, 0x1018, 1), 0x05040001},
        RefusalCase{"WriteReadOnly", Initiate(0x21, 0x1018, 1, {1, 2, 3, 4}), 0x06010002},
        RefusalCase{"WriteUnknownObject", Initiate(0x21, 0x2000, 0, {1}), 0x06020000},
        RefusalCase{"SegmentedTooShort", Initiate(0x29, 0x101A, 0, {1, 2}), 0x06070010},
        RefusalCase{"SegmentedTooLarge", Initiate(0x29, 0x101A, 0, {0x01, 0x20, 0, 0}), 0x05040002},
        RefusalCase{"FirstDataBeyondSize", Initiate(0x29, 0x101A, 0, {2, 0, 0, 0, 1, 2, 3, 4}), 0x05040002},
        RefusalCase{"UploadLe5", Initiate(0x20, 0x1018, 1, {0}), std::nullopt},
        RefusalCase{"Le3", Bytes{0x20, 0x18, 0x10}, std::nullopt},
        RefusalCase{"AbortInIdle", Initiate(0x04, 0x1018, 1, {0, 0, 4, 5}), std::nullopt},
        RefusalCase{"BeyondPayloadLimit", Initiate(0x21, 0x101A, 0, Bytes(9, 1)), std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

/// Downloads data to 0x101A/0 as the client does; returns false when a step failed.
struct DownloadRun {
  bool done = false;          ///< the last segment was answered
  std::optional<u32> abort;   ///< abort code, when aborted
  u32 segments = 0;           ///< segments sent
};

DownloadRun Download(SimNode& node, const Bytes& data, std::size_t payloadLength, bool preload) {
  DownloadRun run;
  const bool slim = preload;
  const std::size_t maxLe = slim ? 24 : 12;
  u16 sano = 40;
  if (data.size() + 4 <= payloadLength) {
    const auto a = node.Receive(Ssdo(Initiate(0x21, 0x101A, 0, data), sano, slim), {});
    if (!a) return run;
    const TestFrames::ParsedFrame p = Checked(*a, maxLe);
    EXPECT_EQ(p.id, slim ? 0x3B : 0x39);
    run.done = p.payload == WithIndex(0x21, 0x101A, 0);
    return run;
  }
  Bytes init = WithIndex(preload ? 0x2B : 0x29, 0x101A, 0);
  PutU32(init, static_cast<u32>(data.size()));
  const std::size_t first = payloadLength - 8;
  init.insert(init.end(), data.begin(), data.begin() + static_cast<std::ptrdiff_t>(first));
  auto a = node.Receive(Ssdo(init, sano, slim), {});
  if (!a) return run;
  TestFrames::ParsedFrame p = Checked(*a, maxLe);
  if (p.payload[0] == 0x04) {
    run.abort = GetU32(p.payload, 4);
    return run;
  }
  EXPECT_EQ(p.payload[0], preload ? 0x2B : 0x29);
  if (preload) {
    EXPECT_EQ(p.tr & 0x30, 0x30);
  }
  std::size_t offset = first;
  u8 toggle = 0;
  while (offset < data.size()) {
    toggle ^= 0x10;
    const std::size_t n = std::min(payloadLength - 1, data.size() - offset);
    const bool last = offset + n == data.size();
    const u8 cmd = static_cast<u8>((last ? 0x49 : (preload ? 0x0B : 0x09)) | toggle);
    Bytes seg{cmd};
    seg.insert(seg.end(), data.begin() + static_cast<std::ptrdiff_t>(offset),
               data.begin() + static_cast<std::ptrdiff_t>(offset + n));
    ++sano;
    a = node.Receive(Ssdo(seg, sano, slim), {});
    ++run.segments;
    if (!a) return run;
    p = Checked(*a, maxLe);
    if (p.payload[0] == 0x04) {
      run.abort = GetU32(p.payload, 4);
      return run;
    }
    EXPECT_EQ(p.payload, Bytes{cmd});
    EXPECT_EQ(p.ct, sano);
    EXPECT_EQ(p.tr, 0);
    offset += n;
  }
  run.done = true;
  return run;
}

struct DownloadCase {
  const char* name;           ///< case name
  std::size_t size;           ///< parameter set size
  std::size_t payloadLength;  ///< payload length the client uses
  bool preload;               ///< preload with slim frames
  u32 segments;               ///< expected segments after the initiate
};

class DownloadTable : public ::testing::TestWithParam<DownloadCase> {};


/// The checksum a node holds while its parameters differ: every byte complemented.
Bytes ComplementOf(Bytes value) {
  for (u8& b : value) b = static_cast<u8>(~b);
  return value;
}

TEST_P(DownloadTable, TheDescribedSetGivesTheDescribedChecksumAndTimestamp) {
  const DownloadCase& c = GetParam();
  SimNodes::NodeConfig config = DefaultConfig();
  config.faults.wrongChecksum = true;
  config.faults.wrongTimestamp = true;
  config.parameterSet.resize(c.size);
  for (std::size_t i = 0; i < c.size; ++i) {
    config.parameterSet[i] = static_cast<u8>(i * 7 + 1);
  }
  SimNode node(config);
  Configure(node);
  EXPECT_EQ(node.Checksum(), ComplementOf(config.checksum));
  EXPECT_EQ(node.Timestamp(), ~config.timestamp);
  const DownloadRun run = Download(node, config.parameterSet, c.payloadLength, c.preload);
  EXPECT_TRUE(run.done);
  EXPECT_FALSE(run.abort);
  EXPECT_EQ(run.segments, c.segments);
  EXPECT_EQ(node.Checksum(), config.checksum);
  EXPECT_EQ(node.Timestamp(), config.timestamp);
  EXPECT_EQ(node.Record().downloadsMatching, 1u);
}

INSTANTIATE_TEST_SUITE_P(Downloads, DownloadTable,
                         ::testing::Values(DownloadCase{"Expedited", 8, 12, false, 0},
                                           DownloadCase{"ExpeditedSlim", 18, 22, true, 0},
                                           DownloadCase{"Segmented", 30, 12, false, 3},
                                           DownloadCase{"SegmentedExactLast", 26, 12, false, 2},
                                           DownloadCase{"Preload", 60, 22, true, 3},
                                           DownloadCase{"PreloadLong", 400, 22, true, 19}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(NodeSsdo, NoAnswerExceedsWhatTheDispatcherTakes) {
  for (const bool oversize : {false, true}) {
    for (const u16 limit : {8, 9, 10, 11, 12, 13, 50, 254}) {
      for (std::size_t size = 0; size <= 40; ++size) {
        SimNodes::NodeConfig config = DefaultConfig();
        config.payloadLimit = limit;
        config.faults.oversize = oversize;
        config.checksum.assign(size, static_cast<u8>(size));
        SimNode node(config);
        Configure(node);
        const std::size_t maxLe = oversize ? 12 : std::min<std::size_t>(limit, 12);
        const UploadRun run = Upload(node, 0x1018, 6, maxLe);
        EXPECT_EQ(run.data.size() >= size ? Bytes(run.data.begin(), run.data.begin() + size) : run.data,
                  config.checksum)
            << "limit " << limit << " size " << size;
      }
    }
  }
}

TEST(NodeSsdo, OtherBytesLeaveChecksumAndTimestampDifferent) {
  SimNodes::NodeConfig config = DefaultConfig();
  SimNode node(config);
  Configure(node);
  Bytes other = config.parameterSet;
  other[3] ^= 0x40;
  EXPECT_TRUE(Download(node, other, 12, false).done);
  EXPECT_EQ(node.Checksum(), ComplementOf(config.checksum));
  EXPECT_EQ(node.Timestamp(), ~config.timestamp);
  EXPECT_EQ(node.Record().downloadsComplete, 1u);
  EXPECT_EQ(node.Record().downloadsMatching, 0u);
  EXPECT_TRUE(Download(node, config.parameterSet, 12, false).done);
  EXPECT_EQ(node.Checksum(), config.checksum);
  EXPECT_EQ(node.Timestamp(), config.timestamp);
}

/// A node in a preload download after its initiate (SaNo 40, first 14 bytes taken).
struct PreloadFixture : ::testing::Test {
  void SetUp() override {
    config.parameterSet.assign(60, 0x5A);
    node.emplace(config);
    Configure(*node);
    Bytes init = SegmentedInitiate(0x2B, 60, 14, 0x5A);
    const auto a = node->Receive(Ssdo(init, 40, true), {});
    ASSERT_TRUE(a);
    const TestFrames::ParsedFrame p = Checked(*a, 24);
    ASSERT_EQ(p.payload, WithIndex(0x2B, 0x101A, 0));
    ASSERT_EQ(p.tr, 0x30 | config.preloadWindow);
  }
  Bytes Segment(u8 cmd, std::size_t n) {
    Bytes s{cmd};
    s.insert(s.end(), n, 0x5A);
    return s;
  }
  SimNodes::NodeConfig config = DefaultConfig();  ///< node description
  std::optional<SimNode> node;                    ///< the node under test
};

TEST_F(PreloadFixture, SequenceGapGetsARepeatRequestAndNothingWritten) {
  auto a = node->Receive(Ssdo(Segment(0x1B, 21), 42, true), {});
  ASSERT_TRUE(a);
  TestFrames::ParsedFrame p = Checked(*a, 24);
  EXPECT_EQ(p.tr, 0x30);
  EXPECT_EQ(p.ct, 41);
  EXPECT_EQ(node->Record().repeatRequests, 1u);
  // The repeat from the expected segment on completes the set.
  a = node->Receive(Ssdo(Segment(0x1B, 21), 41, true), {});
  ASSERT_TRUE(a);
  p = Checked(*a, 24);
  EXPECT_EQ(p.tr, 0);
  EXPECT_EQ(p.ct, 41);
  a = node->Receive(Ssdo(Segment(0x0B, 21), 42, true), {});
  ASSERT_TRUE(a);
  // Every answer flipped the toggle: initiate, repeat request, two segments.
  EXPECT_FALSE(node->Receive(Ssdo(Segment(0x59, 4), 43, true), {}));
  a = node->Receive(Ssdo(Segment(0x49, 4), 43, true), {});
  ASSERT_TRUE(a);
  EXPECT_EQ(Checked(*a, 24).payload, Bytes{0x49});
  EXPECT_EQ(node->Record().downloadsMatching, 1u);
}

TEST_F(PreloadFixture, WindowIsAnnouncedAsConfigured) {
  SimNodes::NodeConfig c = DefaultConfig();
  c.preloadWindow = 5;
  SimNode other(c);
  Configure(other);
  Bytes init = SegmentedInitiate(0x2B, 60, 14, 0x5A);
  const auto a = other.Receive(Ssdo(init, 40, true), {});
  ASSERT_TRUE(a);
  EXPECT_EQ(Checked(*a, 24).tr, 0x35);
}

TEST_F(PreloadFixture, AbortRequestEndsTheTransferWithoutAnswer) {
  Bytes abort = WithIndex(0x04, 0x101A, 0);
  PutU32(abort, 0x05040000);
  EXPECT_FALSE(node->Receive(Ssdo(abort, 41, true), {}));
  // The transfer is gone: a last segment is no longer taken.
  const auto a = node->Receive(Ssdo(Segment(0x59, 4), 42, true), {});
  ASSERT_TRUE(a);
  EXPECT_EQ(GetU32(Checked(*a, 24).payload, 4), 0x05040001u);
  EXPECT_EQ(node->Record().downloadsComplete, 0u);
}

TEST_F(PreloadFixture, LastSegmentNotMatchingTheSizeIsAborted) {
  const auto a = node->Receive(Ssdo(Segment(0x59, 5), 41, true), {});
  ASSERT_TRUE(a);
  EXPECT_EQ(GetU32(Checked(*a, 24).payload, 4), 0x05040002u);
  EXPECT_EQ(node->Record().downloadsComplete, 0u);
}

TEST_F(PreloadFixture, LastSegmentWithWrongToggleIsIgnoredAndTheTransferStays) {
  EXPECT_FALSE(node->Receive(Ssdo(Segment(0x49, 21), 41, true), {}));  // toggle 0 where 1 is due
  const auto a = node->Receive(Ssdo(Segment(0x1B, 21), 41, true), {});
  ASSERT_TRUE(a);
  EXPECT_EQ(Checked(*a, 24).tr, 0);
  EXPECT_EQ(node->Record().downloadsComplete, 0u);
}

TEST(NodeSsdo, DownloadSegmentWithWrongToggleIsIgnoredAndTheTransferStays) {
  SimNodes::NodeConfig config = DefaultConfig();
  config.parameterSet.assign(15, 9);
  SimNode node(config);
  Configure(node);
  Bytes init = SegmentedInitiate(0x29, 15, 4, 9);
  ASSERT_TRUE(node.Receive(Ssdo(init, 1), {}));
  Bytes last{0x49};
  last.insert(last.end(), 11, 9);
  EXPECT_FALSE(node.Receive(Ssdo(last, 2), {}));  // toggle 0 where 1 is due
  last[0] = 0x59;
  const auto a = node.Receive(Ssdo(last, 2), {});
  ASSERT_TRUE(a);
  EXPECT_EQ(Checked(*a, 12).payload, Bytes{0x59});
  EXPECT_EQ(node.Record().downloadsMatching, 1u);
}

TEST(NodeSsdo, RefusedPreloadThenPlainSegmentedDownload) {
  SimNodes::NodeConfig config = DefaultConfig();
  config.faults.preloadRefused = true;
  config.parameterSet.assign(40, 3);
  SimNode node(config);
  Configure(node);
  const DownloadRun refused = Download(node, config.parameterSet, 22, true);
  ASSERT_TRUE(refused.abort);
  EXPECT_EQ(*refused.abort, 0x05040001u);
  EXPECT_EQ(node.Record().faultsApplied.at("preload-refused"), 1u);
  EXPECT_TRUE(Download(node, config.parameterSet, 12, false).done);
  EXPECT_EQ(node.Record().downloadsMatching, 1u);
}

TEST(NodeSsdo, UploadSegmentWithWrongToggleOrIndexIsIgnored) {
  SimNodes::NodeConfig config = DefaultConfig();
  config.checksum.assign(20, 0x33);
  SimNode node(config);
  Configure(node);
  ASSERT_TRUE(node.Receive(Ssdo(WithIndex(0x20, 0x1018, 6), 1), {}));
  EXPECT_FALSE(node.Receive(Ssdo(WithIndex(0x08, 0x1018, 6), 2), {}));
  EXPECT_FALSE(node.Receive(Ssdo(WithIndex(0x18, 0x1018, 7), 2), {}));
  const auto a = node.Receive(Ssdo(WithIndex(0x18, 0x1018, 6), 2), {});
  ASSERT_TRUE(a);
  EXPECT_EQ(Checked(*a, 12).payload[0], 0x18);
}

TEST(NodeSsdo, FramesCodedWithAnotherScmUdidAreDropped) {
  SimNode node(DefaultConfig());
  Configure(node);
  Udid other = kScmUdid;
  other[2] ^= 0x01;
  EXPECT_FALSE(node.Receive(Ssdo(WithIndex(0x20, 0x1018, 1), 1, false, other), {}));
  EXPECT_FALSE(node.Receive(Ssdo(WithIndex(0x20, 0x1018, 1), 1, true, other), {}));
  EXPECT_EQ(node.Record().framesDropped, 2u);
  EXPECT_TRUE(node.Receive(Ssdo(WithIndex(0x20, 0x1018, 1), 1), {}));
}

TEST(NodeSsdo, NoSsdoBeforeTheScmUdidOrForAnotherSadr) {
  SimNode node(DefaultConfig());
  EXPECT_FALSE(node.Receive(Ssdo(WithIndex(0x20, 0x1018, 1), 1), {}));
  Configure(node);
  EXPECT_FALSE(node.Receive(Ssdo(WithIndex(0x20, 0x1018, 1), 1, false, kScmUdid, kPosition + 1), {}));
  EXPECT_FALSE(node.Receive(Ssdo(WithIndex(0x20, 0x1018, 1), 1, false, kScmUdid, kPosition, 1), {}));
  EXPECT_TRUE(node.Receive(Ssdo(WithIndex(0x20, 0x1018, 1), 1), {}));
}

}  // namespace
}  // namespace NodeTest
