// The frames that the firmware's stack serializer builds, read back by the
// checker's frame decoder: every kind of frame the stack sends must be
// accepted, land in the right kind, and report the fields the stack wrote.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <ostream>
#include <string>
#include <vector>

#include "CException.h"
#include "ErrorCodes.h"
#include "Frame/CFrameDecoder.h"
#include "FrameBuilder.h"
#include "FrameKinds.h"
#include "SFS.h"
#include "SSC.h"
#include "StackFixture.h"
#include "StackFrames.h"

namespace CrossChannelTest {
namespace {

using StackTest::g_errors;
using StackTest::g_tx;
using TestFrames::Bytes;
using TestFrames::Udid;

/// The SCM UDID in the stack's object 0x1200/4 and the checker's key.
const Udid k_scmUdid = {0x02, 0x5C, 0x3E, 0x4B, 0x7F, 0xE1};
/// Another UDID: a checker that learned the wrong one.
const Udid k_otherUdid = {0x02, 0x5C, 0x3E, 0x4B, 0x7F, 0xE2};
/// A node's UDID carried by the SNMT frames.
const Udid k_nodeUdid = {0x00, 0x11, 0xA7, 0x30, 0xC2, 0x5D};
/// Safety domain of the frames (both address bits 8..9 set).
constexpr u16 k_sdn = 0x3C1;
/// The SCM's own SADR.
constexpr u16 k_scm = 0x201;
/// The addressed node's SADR.
constexpr u16 k_node = 0x3A5;
/// A sequence number of an SSDO transfer (the CT field).
constexpr u16 k_saNo = 0xB7E2;

/// Visitor operation numbers of the decoded kinds (0: the unknown frame).
enum Kind : int {
  Unknown = 0,                     ///< no kind: forwarded only
  AssignSadr = 1,                  ///< SNMT assign SADR
  AssignUdidScm = 2,               ///< SNMT assign SCM UDID
  ResponseUdid = 3,                ///< SNMT UDID response
  SadrAssigned = 4,                ///< SNMT SADR assigned
  SnSetToOp = 5,                   ///< SNMT set to operational
  SnFail = 6,                      ///< SNMT SN FAIL
  SnAck = 7,                       ///< SNMT SN error acknowledge
  UploadInitiateExpedited = 8,     ///< SSDO expedited upload answer
  UploadInitiateSegmented = 9,     ///< SSDO segmented upload answer
  UploadMiddleSegment = 10,        ///< SSDO middle upload segment
  UploadEndSegment = 11,           ///< SSDO last upload segment
  DownloadInitiateExpedited = 12,  ///< SSDO expedited download
  DownloadInitiateSegmented = 13,  ///< SSDO segmented download initiate
  DownloadMiddleSegment = 14,      ///< SSDO middle download segment
  DownloadEndSegment = 15          ///< SSDO last download segment
};

/// One frame as one of the stack's senders fills it in.
struct SentFrame {
  std::string name;  ///< sender and frame, for the test name
  u8 id;             ///< frame id
  u16 adr;           ///< ADR
  u16 sdn;           ///< SDN
  u16 tadr;          ///< TADR
  u16 ct;            ///< CT (SNMT 0, SSDO the sequence number)
  u8 tr;             ///< TR
  Bytes payload;     ///< the payload (LE is its size)
  int kind;          ///< kind the checker must decode it into
};

/// Readable form for test failures.
void PrintTo(const SentFrame& s, std::ostream* os) { *os << s.name; }

/// payload = head, then n bytes counting up from first.
Bytes Pay(Bytes head, std::size_t n = 0, u8 first = 0x40) {
  for (std::size_t i = 0; i < n; ++i) head.push_back(static_cast<u8>(first + 3 * i));
  return head;
}
/// The UDID behind a head of payload bytes.
Bytes WithUdid(Bytes head, const Udid& udid) {
  head.insert(head.end(), udid.begin(), udid.end());
  return head;
}

/// Requests of the SNMT master: ADR the node, TADR the SCM, CT and TR 0.
SentFrame Master(std::string name, u8 id, Bytes payload, int kind) {
  return {std::move(name), id, k_node, k_sdn, k_scm, 0, 0, std::move(payload), kind};
}
/// Responses of the SNMT slave: ADR the requester (the SCM), TADR the own SADR.
SentFrame Slave(std::string name, u8 id, Bytes payload, int kind) {
  return {std::move(name), id, k_scm, k_sdn, k_node, 0, 0, std::move(payload), kind};
}
/// Requests of the SSDO client: ADR the node, TADR the SCM, CT the sequence number.
SentFrame Client(std::string name, u8 id, Bytes payload, int kind) {
  return {std::move(name), id, k_node, k_sdn, k_scm, k_saNo, 0, std::move(payload), kind};
}
/// Responses of the SSDO server: addresses swapped, CT echoed, TR as given.
SentFrame Server(std::string name, u8 id, Bytes payload, int kind, u8 tr = 0) {
  return {std::move(name), id, k_scm, k_sdn, k_node, k_saNo, tr, std::move(payload), kind};
}

/// Object 0x1018 sub 1 (vendor id), the object the SCM reads first.
const Bytes k_vendor = {0x18, 0x10, 0x01};
/// A string object 0x2800 sub 3 of a parameter download.
const Bytes k_params = {0x00, 0x28, 0x03};
/// An SSDO command followed by index and sub-index.
Bytes Cmd(u8 command, const Bytes& object) {
  Bytes b{command};
  b.insert(b.end(), object.begin(), object.end());
  return b;
}

/// Every frame the stack sends, one row per sender, service and CRC width.
std::vector<SentFrame> SentFrames() {
  const Bytes ts = {0x78, 0x56, 0x34, 0x12};  // parameter timestamp, least significant byte first
  std::vector<SentFrame> f = {
      // SNMT master (the SCM's requests)
      Master("ReqUdid", 0x28, {}, Unknown),
      Master("ReqAssgnSadr", 0x2A, WithUdid({}, k_nodeUdid), AssignSadr),
      Master("ReqSnTransPreOp", 0x2C, {0x00}, Unknown),
      Master("ReqSnTransOp", 0x2C, Pay({0x02, ts[0], ts[1], ts[2], ts[3]}), SnSetToOp),
      Master("ReqGuarding", 0x2C, {0x08}, Unknown),
      Master("ReqAssgnAddSadr", 0x2C, {0x0A, 0xA6, 0x03, 0x02, 0x00}, Unknown),
      Master("ReqAssgnScmUdid", 0x2C, WithUdid({0x0E}, k_scmUdid), AssignUdidScm),
      Master("ReqInitializeCtSn", 0x2C, {0x10, 1, 2, 3, 4, 5}, Unknown),
      Master("SnErrorAck", 0x2C, {0x0C, 0x03, 0x02}, SnAck),
      // SNMT slave (the firmware as a safety node)
      Slave("UdidResponse", 0x29, WithUdid({}, k_nodeUdid), ResponseUdid),
      Slave("SadrAssigned", 0x2B, WithUdid({}, k_nodeUdid), SadrAssigned),
      Slave("StatusPreOp", 0x2D, {0x01}, Unknown),
      Slave("StatusOp", 0x2D, {0x03}, Unknown),
      Slave("AddSadrAssigned", 0x2D, {0x05, 0x00, 0x00, 0x02, 0x00}, Unknown),
      Slave("SnFail", 0x2D, {0x07, 0x04, 0x01}, SnFail),
      Slave("Busy", 0x2D, {0x09}, Unknown),
      Slave("ScmUdidAssigned", 0x2D, WithUdid({0x0F}, k_scmUdid), Unknown),
      Slave("ExtCtInitialised", 0x2D, {0x11, 1, 2, 3, 4, 5}, Unknown),
      {"ResetGuarding", 0x2F, 1, 1, 1, 0, 0, {}, Unknown},
      // SSDO client (the SCM's reads and downloads), basic frames
      Client("UploadInitiate", 0x38, Cmd(0x20, k_vendor), Unknown),
      Client("UploadSegment", 0x38, Cmd(0x18, k_vendor), Unknown),
      Client("DownloadExpeditedLe8", 0x38, Pay(Cmd(0x21, k_params), 4), DownloadInitiateExpedited),
      Client("DownloadExpeditedLe12", 0x38, Pay(Cmd(0x21, k_params), 8), DownloadInitiateExpedited),
      Client("DownloadSegmentedInit", 0x38, Pay(Cmd(0x29, k_params), 8), DownloadInitiateSegmented),
      Client("DownloadSegmentedPreloadAsked", 0x38, Pay(Cmd(0x2B, k_params), 28), DownloadInitiateSegmented),
      Client("DownloadMiddleLe8", 0x38, Pay({0x19}, 7), DownloadMiddleSegment),
      Client("DownloadMiddleLe9", 0x38, Pay({0x09}, 8), DownloadMiddleSegment),
      Client("DownloadLastLe1", 0x38, {0x49}, DownloadEndSegment),
      Client("DownloadLastLe30", 0x38, Pay({0x59}, 29), DownloadEndSegment),
      Client("DownloadMiddleLe254", 0x38, Pay({0x19}, 253), DownloadMiddleSegment),
      Client("AbortTimeOut", 0x38, {0x04, 0x18, 0x10, 0x01, 0x00, 0x00, 0x04, 0x05}, Unknown),
      // SSDO client with preload: slim frames
      Client("SlimDownloadExpedited", 0x3A, Pay(Cmd(0x21, k_params), 3), DownloadInitiateExpedited),
      Client("SlimDownloadPreloadInitLe8", 0x3A, Pay(Cmd(0x2B, k_params), 4), DownloadInitiateSegmented),
      Client("SlimDownloadPreloadInitLe9", 0x3A, Pay(Cmd(0x2B, k_params), 5), DownloadInitiateSegmented),
      Client("SlimDownloadPreloadMiddle", 0x3A, Pay({0x1B}, 21), DownloadMiddleSegment),
      Client("SlimDownloadPreloadMiddleLe254", 0x3A, Pay({0x0B}, 253), DownloadMiddleSegment),
      Client("SlimDownloadLast", 0x3A, Pay({0x49}, 2), DownloadEndSegment),
      Client("SlimDownloadPlainInit", 0x3A, Pay(Cmd(0x29, k_params), 12), DownloadInitiateSegmented),
      // SSDO server (the firmware's own dictionary), basic frames
      Server("UploadExpeditedU8", 0x39, Pay(Cmd(0x20, k_vendor), 1), UploadInitiateExpedited),
      Server("UploadExpeditedU32", 0x39, Pay(Cmd(0x20, k_vendor), 4), UploadInitiateExpedited),
      Server("UploadExpeditedU64", 0x39, Pay(Cmd(0x20, k_vendor), 8), UploadInitiateExpedited),
      Server("UploadSegmentedInit", 0x39, Pay(Cmd(0x28, k_params), 8), UploadInitiateSegmented),
      Server("UploadMiddle", 0x39, Pay({0x18}, 11), UploadMiddleSegment),
      Server("UploadLast", 0x39, Pay({0x48}, 5), UploadEndSegment),
      Server("UploadLastLe1", 0x39, Pay({0x58}, 0), UploadEndSegment),
      Server("DownloadExpeditedDone", 0x39, Cmd(0x21, k_params), Unknown),
      Server("DownloadSegmentedStarted", 0x39, Cmd(0x29, k_params), Unknown),
      Server("DownloadSegmentDone", 0x39, {0x19}, Unknown),
      Server("DownloadLastDone", 0x39, {0x49}, Unknown),
      Server("AbortResponse", 0x39, {0x04, 0x00, 0x12, 0x00, 0x22, 0x00, 0x00, 0x08}, Unknown),
      // SSDO server answering slim requests: the dispatcher turns the id into 0x3B
      Server("SlimUploadExpedited", 0x3B, Pay(Cmd(0x20, k_vendor), 2), UploadInitiateExpedited),
      Server("SlimUploadSegmentedInit", 0x3B, Pay(Cmd(0x28, k_params), 8), UploadInitiateSegmented),
      Server("SlimUploadMiddleLe22", 0x3B, Pay({0x08}, 21), UploadMiddleSegment),
      Server("SlimUploadLast", 0x3B, Pay({0x58}, 3), UploadEndSegment),
      Server("SlimPreloadAccepted", 0x3B, Cmd(0x2B, k_params), Unknown, 0x31),
      Server("SlimRepeatSegment", 0x3B, {0x0B}, Unknown, 0x30),
  };
  return f;
}

/// The header a sender fills in for the frame.
SFS_FrameHeader Header(const SentFrame& s) {
  return SFS_FrameHeader{s.adr, s.id, s.sdn, static_cast<u8>(s.payload.size()), s.ct, s.tadr, s.tr, {}};
}

/// Telegram type a sender asks for with its block.
u8 TelType(u8 id) {
  if (SFS_IsSnmt(id)) return SFS_k_TT_SNMT;
  return SFS_IsSlim(id) ? SFS_k_TT_SSDO_SLIM : SFS_k_TT_SSDO;
}

/// Stack with its dictionary, the SCM UDID in 0x1200/4 and the domain set.
class StackToChecker : public StackTest::StackFixture {
 protected:
  void SetUp() override {
    StackFixture::SetUp();
    StackTest::StartFrames(k_scmUdid, k_sdn);
  }

  /// Serializes through the stack as its senders do; the frame in queue form.
  static Bytes Send(const SentFrame& s) {
    const SFS_FrameHeader h = Header(s);
    const Bytes& payload = s.payload;
    const std::size_t before = g_tx.frames.size();
    u8* block = SFS_GetMemBlock(TelType(h.ucId), h.ucLe);
    EXPECT_NE(block, nullptr) << ::testing::PrintToString(g_errors);
    if (block == nullptr) return {};
    if (!payload.empty()) std::memcpy(block + SFS_k_BLOCK_PAYLOAD, payload.data(), payload.size());
    EXPECT_TRUE(SFS_FrmSerialize(&h, block)) << ::testing::PrintToString(g_errors);
    EXPECT_TRUE(g_errors.empty()) << ::testing::PrintToString(g_errors);
    if (g_tx.frames.size() != before + 1) return {};
    // The platform sends ONE first; the block holds TWO first.
    return TestFrames::BlockToQueueForm(g_tx.frames.back(), h.ucId, h.ucLe);
  }

  /// Decodes with the checker; the thrown code, or 0 when it decoded.
  u16 DecodeCode(const Bytes& frame, const Udid& key) {
    try {
      decoded = decoder.GetDecodedFrame(static_cast<u16>(frame.size()), frame.data(), key.data());
      return 0;
    } catch (const Util::CException& e) {
      decoded = nullptr;
      return e.GetCode();
    }
  }

  Frame::CFrameDecoder decoder;                   ///< the checker's decoder
  const Frame::CDecodedFrame* decoded = nullptr;  ///< its last result
};

// ---- every sent frame against the decoded one ----
class SentFrameDecodes : public StackToChecker, public ::testing::WithParamInterface<SentFrame> {};

TEST_P(SentFrameDecodes, IntoItsKindWithTheSerializedFields) {
  const SentFrame& s = GetParam();
  const Bytes frame = Send(s);
  ASSERT_FALSE(frame.empty());
  ASSERT_EQ(frame.size(), SFS_FrameLength(SFS_IsSlim(s.id), static_cast<u8>(s.payload.size())));
  const Bytes before = frame;
  ASSERT_EQ(DecodeCode(frame, k_scmUdid), 0) << TestFrames::ParseFrame(frame).error;
  EXPECT_EQ(frame, before) << "the decoder wrote into the frame";

  const u8 le = static_cast<u8>(s.payload.size());
  EXPECT_EQ(decoded->GetId(), s.id);
  EXPECT_EQ(decoded->GetAdr(), s.adr);
  EXPECT_EQ(decoded->GetTadr(), s.tadr);
  EXPECT_EQ(decoded->GetSdn(), s.sdn);
  EXPECT_EQ(decoded->GetCt(), s.ct);
  EXPECT_EQ(decoded->GetTr(), s.tr);
  EXPECT_EQ(decoded->GetLe(), le);
  EXPECT_EQ(Bytes(decoded->GetDbs(), decoded->GetDbs() + le), s.payload);

  DecodeTest::RecordingFrameVisitor visitor;
  decoded->Accept(visitor);
  const DecodeTest::Seen& seen = visitor.seen;
  if (s.kind == Unknown) {
    EXPECT_EQ(seen.total(), 0);
    return;
  }
  EXPECT_EQ(seen.calls[s.kind], 1);
  EXPECT_EQ(seen.total(), 1);
  const DecodeTest::FrameKind& kind = DecodeTest::FrameKinds()[s.kind - 1];
  using G = DecodeTest::FrameKind;
  if (kind.getters != G::ScmUdid1) {
    EXPECT_EQ(seen.safetyAddress, kind.responseAddress ? s.tadr : s.adr);
    EXPECT_EQ(seen.safetyAddress, k_node) << "the frame names the node it concerns";
  }
  const u8* dbs = decoded->GetDbs();
  switch (kind.getters) {
    case G::Udid0:
      ASSERT_NE(seen.udid, nullptr);
      EXPECT_EQ(Bytes(seen.udid, seen.udid + 6), Bytes(k_nodeUdid.begin(), k_nodeUdid.end()));
      break;
    case G::ScmUdid1:
      ASSERT_NE(seen.udid, nullptr);
      EXPECT_EQ(Bytes(seen.udid, seen.udid + 6), Bytes(k_scmUdid.begin(), k_scmUdid.end()));
      break;
    case G::Error:
      EXPECT_EQ(seen.errorGroup, s.payload[1]);
      EXPECT_EQ(seen.errorCode, s.payload[2]);
      break;
    case G::Initiate:
      EXPECT_EQ(seen.index, s.payload[1] | (s.payload[2] << 8));
      EXPECT_EQ(seen.subIndex, s.payload[3]);
      EXPECT_EQ(seen.data, dbs + 4);
      EXPECT_EQ(seen.dataLength, le - 4);
      break;
    case G::Segment:
      EXPECT_EQ(seen.data, dbs + 1);
      EXPECT_EQ(seen.dataLength, le - 1);
      break;
    case G::AddressOnly:
      break;
  }
}

TEST_P(SentFrameDecodes, OnlyWithTheScmUdidItWasCodedWith) {
  const SentFrame& s = GetParam();
  const Bytes frame = Send(s);
  ASSERT_FALSE(frame.empty());
  if (SFS_IsSnmt(s.id)) {
    // SNMT frames travel uncoded: the checker reads them with the zero key whatever it learned.
    EXPECT_EQ(DecodeCode(frame, k_otherUdid), 0);
  } else {
    EXPECT_EQ(DecodeCode(frame, k_otherUdid), Util::ErrorCodes::ms_FrameCrcWrong);
  }
}

TEST_P(SentFrameDecodes, AsTheStacksOwnReceiverReadsIt) {
  const SentFrame& s = GetParam();
  const Bytes frame = Send(s);
  ASSERT_FALSE(frame.empty());
  ASSERT_EQ(DecodeCode(frame, k_scmUdid), 0);
  Bytes copy = frame;  // the stack's receiver decodes in place
  SFS_FrameHeader h{};
  const u8* payload = SFS_FrmDeSerialize(copy.data(), static_cast<u16>(copy.size()), &h);
  ASSERT_NE(payload, nullptr) << ::testing::PrintToString(g_errors);
  EXPECT_EQ(h.usAdr, decoded->GetAdr());
  EXPECT_EQ(h.ucId, decoded->GetId());
  EXPECT_EQ(h.usSdn, decoded->GetSdn());
  EXPECT_EQ(h.ucLe, decoded->GetLe());
  EXPECT_EQ(h.usCt, decoded->GetCt());
  EXPECT_EQ(h.usTadr, decoded->GetTadr());
  EXPECT_EQ(h.ucTr, decoded->GetTr());
  EXPECT_EQ(Bytes(payload, payload + h.ucLe), Bytes(decoded->GetDbs(), decoded->GetDbs() + h.ucLe));
}

INSTANTIATE_TEST_SUITE_P(Senders, SentFrameDecodes, ::testing::ValuesIn(SentFrames()),
                         [](const auto& info) { return info.param.name; });

// ---- every LE of every id a sender may use ----
TEST_F(StackToChecker, EveryLengthOfEverySendableIdDecodes) {
  // 0x55 is no service byte of any kind; ids whose kind takes any service byte start at that kind's LE.
  const struct {
    u8 id;
    u8 leMin;
  } ids[] = {{0x28, 0}, {0x29, 6}, {0x2A, 6}, {0x2B, 6}, {0x2C, 0}, {0x2D, 0},
             {0x2F, 0}, {0x38, 0}, {0x39, 0}, {0x3A, 0}, {0x3B, 0}};
  for (const auto& c : ids) {
    for (u32 le = c.leMin; le <= 254; ++le) {
      const Bytes payload = le == 0 ? Bytes{} : Pay({0x55}, le - 1, static_cast<u8>(le));
      const SentFrame s{"sweep", c.id,   k_node, k_sdn, k_scm, static_cast<u16>(0x100 + le), static_cast<u8>(le & 0x3F),
                        payload, Unknown};
      const Bytes frame = Send(s);
      ASSERT_FALSE(frame.empty()) << std::hex << +c.id << " LE " << std::dec << le;
      ASSERT_EQ(DecodeCode(frame, k_scmUdid), 0) << std::hex << +c.id << " LE " << std::dec << le;
      EXPECT_EQ(decoded->GetLe(), le);
      EXPECT_EQ(decoded->GetCt(), s.ct);
      EXPECT_EQ(decoded->GetTr(), s.tr);
      EXPECT_EQ(decoded->GetSdn(), k_sdn);
      EXPECT_EQ(Bytes(decoded->GetDbs(), decoded->GetDbs() + le), s.payload);
      g_tx.frames.clear();
    }
  }
}

// ---- answers the dispatcher sends for the slave and the server ----
struct Answer {
  std::string name;  ///< the exchange
  u8 requestId;      ///< id of the received request
  SentFrame answer;  ///< what the processor prepares (the dispatcher sets a slim id itself)
  u8 sentId;         ///< id of the frame that leaves
};

/// Readable form for test failures.
void PrintTo(const Answer& a, std::ostream* os) { *os << a.name; }

class DispatcherAnswerDecodes : public StackToChecker, public ::testing::WithParamInterface<Answer> {
 protected:
  void SetUp() override {
    StackToChecker::SetUp();
    SSC_InitFsm();
  }
};

TEST_P(DispatcherAnswerDecodes, AsTheKindOfTheIdThatLeaves) {
  const Answer& a = GetParam();
  StackDoubles::Script script;
  script.step = StackDoubles::Step::Respond;
  script.response = Header(a.answer);
  script.payload = a.answer.payload;
  (SFS_IsSnmt(a.requestId) ? StackDoubles::g_doubles.snmtsScript : StackDoubles::g_doubles.ssdosScript)
      .push_back(script);
  TestFrames::FrameSpec request;
  request.id = a.requestId;
  request.adr = k_node;
  request.sdn = k_sdn;
  request.ct = a.answer.ct;
  request.tadr = k_scm;
  request.payload = a.requestId == 0x28 ? Bytes{} : Cmd(0x20, k_vendor);
  const Bytes received = TestFrames::BuildFrame(TestFrames::WithFirmwareCoding(request, k_scmUdid));
  constexpr u32 k_ct = 0x00C0FFEE;
  if (SSC_ProcessSNMTSSDOFrame(k_ct, received.data(), static_cast<u16>(received.size()))) {
    while (SSC_ProcessSNMTSSDOFrame(k_ct, nullptr, 0)) {
    }
  }
  ASSERT_EQ(g_tx.frames.size(), 1U) << ::testing::PrintToString(g_errors);
  const u8 le = static_cast<u8>(a.answer.payload.size());
  const Bytes sent = TestFrames::BlockToQueueForm(g_tx.frames[0], a.sentId, le);
  ASSERT_FALSE(sent.empty());
  ASSERT_EQ(DecodeCode(sent, k_scmUdid), 0);
  EXPECT_EQ(decoded->GetId(), a.sentId);
  EXPECT_EQ(decoded->GetAdr(), a.answer.adr);
  EXPECT_EQ(decoded->GetTadr(), a.answer.tadr);
  EXPECT_EQ(decoded->GetCt(), a.answer.ct);
  EXPECT_EQ(Bytes(decoded->GetDbs(), decoded->GetDbs() + le), a.answer.payload);
  DecodeTest::RecordingFrameVisitor visitor;
  decoded->Accept(visitor);
  EXPECT_EQ(visitor.seen.calls[a.answer.kind], 1);
  EXPECT_EQ(visitor.seen.total(), 1);
}

INSTANTIATE_TEST_SUITE_P(
    Exchanges, DispatcherAnswerDecodes,
    ::testing::Values(
        Answer{"UdidResponse", 0x28, Slave("", 0x29, WithUdid({}, k_nodeUdid), ResponseUdid), 0x29},
        Answer{"SnFail", 0x2C, Slave("", 0x2D, {0x07, 0x04, 0x04}, SnFail), 0x2D},
        Answer{"BasicUpload", 0x38, Server("", 0x39, Pay(Cmd(0x20, k_vendor), 4), UploadInitiateExpedited), 0x39},
        Answer{"SlimUploadLe8", 0x3A, Server("", 0x39, Pay(Cmd(0x20, k_vendor), 4), UploadInitiateExpedited), 0x3B},
        Answer{"SlimUploadSegmentedLe12", 0x3A, Server("", 0x39, Pay(Cmd(0x28, k_params), 8), UploadInitiateSegmented),
               0x3B}),
    [](const auto& info) { return info.param.name; });

// ---- the key the checker learns is the one the stack codes with ----
TEST_F(StackToChecker, ScmUdidLearnedFromTheAssignmentDecodesTheSsdoFrames) {
  const Bytes assign = Send(Master("ReqAssgnScmUdid", 0x2C, WithUdid({0x0E}, k_scmUdid), AssignUdidScm));
  Frame::CFrameDecoder checker;
  const auto* frame = checker.GetDecodedFrame(static_cast<u16>(assign.size()), assign.data(), Udid{}.data());
  DecodeTest::RecordingFrameVisitor visitor;
  frame->Accept(visitor);
  ASSERT_EQ(visitor.seen.calls[AssignUdidScm], 1);
  Udid learned{};
  std::copy(visitor.seen.udid, visitor.seen.udid + 6, learned.begin());

  const Bytes read = Send(Client("UploadInitiate", 0x38, Cmd(0x20, k_vendor), Unknown));
  EXPECT_EQ(DecodeCode(read, learned), 0);
  const Bytes slim = Send(Client("SlimDownloadLast", 0x3A, Pay({0x49}, 12), DownloadEndSegment));
  EXPECT_EQ(DecodeCode(slim, learned), 0);
  // Before any assignment the checker's key is all zero: coded frames are refused.
  EXPECT_EQ(DecodeCode(read, Udid{}), Util::ErrorCodes::ms_FrameCrcWrong);
}

}  // namespace
}  // namespace CrossChannelTest
