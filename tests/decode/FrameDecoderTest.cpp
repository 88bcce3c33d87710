// The frame decoder against builder frames: every kind with its getters, the
// visitor dispatch, the refusals with their codes, bit flips and the rule that
// the caller's buffer is never written.
#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <tuple>

#include "CException.h"
#include "CUdid.h"
#include "ErrorCodes.h"
#include "Frame/CFrameDecoder.h"
#include "Frame/Id.h"
#include "FrameKinds.h"

namespace {

using DecodeTest::FrameKind;
using DecodeTest::FrameKinds;
using DecodeTest::kScmUdid;
using TestFrames::Bytes;
using Util::ErrorCodes;

/// Outcome of one decoder call: the result or the thrown exception.
struct Outcome {
  const Frame::CDecodedFrame* frame = nullptr;  ///< the result, null when thrown
  std::optional<Util::CException> error;        ///< the refusal
};

/// Decodes bytes (optionally with a shorter length) and checks that the buffer is unchanged.
Outcome Decode(Frame::CFrameDecoder& decoder, const Bytes& bytes, const TestFrames::Udid& key = kScmUdid,
               std::optional<std::size_t> length = std::nullopt) {
  const Bytes before = bytes;
  Outcome out;
  try {
    out.frame = decoder.GetDecodedFrame(static_cast<u16>(length.value_or(bytes.size())), bytes.data(), key.data());
  } catch (const Util::CException& e) {
    out.error = e;
  }
  EXPECT_EQ(bytes, before) << "the decoder wrote into the caller's buffer";
  return out;
}

u16 CodeOf(const Outcome& o) { return o.error ? o.error->GetCode() : 0; }

/// Payload lengths per kind: its minimum and either side of the CRC width switch.
std::vector<std::size_t> LengthsFor(const FrameKind& kind) {
  std::vector<std::size_t> les;
  for (std::size_t le : {kind.leMin, std::size_t{8}, std::size_t{9}, std::size_t{40}, std::size_t{254}}) {
    if (le >= kind.leMin && (les.empty() || les.back() != le)) {
      les.push_back(le);
    }
  }
  return les;
}

void ExpectGetters(const FrameKind& kind, const TestFrames::FrameSpec& fields, const Bytes& bytes,
                   const Frame::CDecodedFrame& f) {
  EXPECT_EQ(f.GetAdr(), fields.adr);
  EXPECT_EQ(f.GetId(), fields.id);
  EXPECT_EQ(f.GetLe(), fields.payload.size());
  EXPECT_EQ(f.GetCt(), fields.ct);
  EXPECT_EQ(f.GetTadr(), fields.tadr);
  EXPECT_EQ(f.GetTr(), fields.tr);
  EXPECT_EQ(f.GetSdn(), fields.sdn);
  EXPECT_EQ(f.GetDbs(), bytes.data() + 4);

  DecodeTest::RecordingFrameVisitor visitor;
  f.Accept(visitor);
  ASSERT_EQ(visitor.seen.total(), 1);
  ASSERT_EQ(visitor.seen.calls[kind.operation], 1);
  const auto& s = visitor.seen;
  const u8* payload = bytes.data() + 4;
  const std::size_t le = fields.payload.size();
  switch (kind.getters) {
    case FrameKind::Udid0:
      EXPECT_EQ(s.udid, payload);
      break;
    case FrameKind::ScmUdid1:
      EXPECT_EQ(s.udid, payload + 1);
      break;
    case FrameKind::Error:
      EXPECT_EQ(s.errorGroup, fields.payload[1]);
      EXPECT_EQ(s.errorCode, fields.payload[2]);
      break;
    case FrameKind::Initiate:
      EXPECT_EQ(s.index, fields.payload[1] | (fields.payload[2] << 8));
      EXPECT_EQ(s.subIndex, fields.payload[3]);
      EXPECT_EQ(s.data, payload + 4);
      EXPECT_EQ(s.dataLength, le - 4);
      break;
    case FrameKind::Segment:
      EXPECT_EQ(s.data, payload + 1);
      EXPECT_EQ(s.dataLength, le - 1);
      break;
    case FrameKind::AddressOnly:
      break;
  }
  if (kind.getters != FrameKind::ScmUdid1) {
    EXPECT_EQ(s.safetyAddress, kind.responseAddress ? fields.tadr : fields.adr);
  }
}

TEST(FrameDecoderKinds, EveryKindDecodesWithItsGetters) {
  Frame::CFrameDecoder decoder;
  for (const FrameKind& kind : FrameKinds()) {
    for (bool slim : {false, true}) {
      if (slim && kind.slimId == 0) {
        continue;
      }
      for (std::size_t le : LengthsFor(kind)) {
        for (std::size_t v = 0; v < std::max<std::size_t>(1, kind.services.size()); ++v) {
          SCOPED_TRACE(std::string(kind.name) + (slim ? " slim" : " basic") + " LE " + std::to_string(le) +
                       " variant " + std::to_string(v));
          const auto fields = DecodeTest::KindSpec(kind, le, slim, v);
          const Bytes bytes = TestFrames::BuildFrame(fields);
          const Outcome o = Decode(decoder, bytes);
          ASSERT_FALSE(o.error) << std::hex << o.error->GetCode();
          ExpectGetters(kind, fields, bytes, *o.frame);
        }
      }
    }
  }
}

TEST(FrameDecoderKinds, CrcWidthSwitchesBetweenLe8And9AndSlimUsesItsPolynomial) {
  // Length on either side of the boundary, and a slim frame's CRC-16 (0x5935) checked by the decoder.
  Frame::CFrameDecoder decoder;
  const FrameKind& segment = FrameKinds()[13];  // download middle segment
  for (auto [le, slim, total] : {std::tuple{8u, false, 27u}, std::tuple{9u, false, 31u}, std::tuple{8u, true, 19u},
                                 std::tuple{9u, true, 22u}, std::tuple{12u, true, 25u}}) {
    const Bytes bytes = TestFrames::BuildFrame(DecodeTest::KindSpec(segment, le, slim));
    ASSERT_EQ(bytes.size(), total);
    const Outcome o = Decode(decoder, bytes);
    ASSERT_FALSE(o.error);
    EXPECT_EQ(o.frame->GetLe(), le);
  }
  // A slim frame whose CRC1 was computed with the basic polynomial is refused.
  Bytes slim = TestFrames::BuildFrame(DecodeTest::KindSpec(segment, 12, true));
  const u16 crc = TestFrames::FrameCrc(0x38, 12, slim.data(), 16);
  slim[16] = static_cast<u8>(crc & 0xFF);
  slim[17] = static_cast<u8>(crc >> 8);
  EXPECT_EQ(CodeOf(Decode(decoder, slim)), ErrorCodes::ms_FrameCrcWrong);
}

TEST(FrameDecoderKinds, SlimKeyCoversFirstCrcByteOfTwo) {
  Frame::CFrameDecoder decoder;
  const auto fields = DecodeTest::KindSpec(FrameKinds()[7], 12, true);
  Bytes bytes = TestFrames::BuildFrame(fields);
  ASSERT_FALSE(Decode(decoder, bytes).error);
  // Differ from the SCM UDID in byte 5 only: that byte codes TWO's first CRC byte.
  TestFrames::Udid other = kScmUdid;
  other[5] ^= 0x01;
  EXPECT_EQ(CodeOf(Decode(decoder, bytes, other)), ErrorCodes::ms_FrameCrcWrong);
}

TEST(FrameDecoderKinds, SnmtUsesZeroKeyWhateverTheScmUdid) {
  Frame::CFrameDecoder decoder;
  const Bytes bytes = TestFrames::BuildFrame(DecodeTest::KindSpec(FrameKinds()[4], 1, false));
  TestFrames::Udid other = kScmUdid;
  other[0] ^= 0xFF;
  EXPECT_FALSE(Decode(decoder, bytes, other).error);
  // An SNMT frame coded with a UDID is refused: SNMT frames travel uncoded.
  auto coded = DecodeTest::KindSpec(FrameKinds()[4], 1, false);
  coded.scmUdid = kScmUdid;
  EXPECT_EQ(CodeOf(Decode(decoder, TestFrames::BuildFrame(coded))), ErrorCodes::ms_FrameCrcWrong);
}

TEST(FrameDecoderKinds, UnknownFramesAreCheckedAndDispatchNothing) {
  struct Case {
    u8 id;                 ///< frame id
    std::vector<u8> payload;  ///< payload
  };
  const std::vector<Case> cases = {
      {0x2C, {0x05}},        // service request, other service
      {0x2D, {0x02}},        // service response, not SN fail
      {0x2E, {0x00, 1}},     // SNMT id of no kind
      {0x2F, {0x0E}},        // reset guarding
      {0x28, {}},            // LE 0: no service byte
      {0x2A, {}},            // assign SADR with LE 0
      {0x39, {}},            // SSDO with LE 0
      {0x3C, {0x21, 1, 2, 3}},  // SSDO range beyond the valid ids
      {0x3F, {0x08}},
      {0x38, {0x20, 1, 2, 3}},  // upload command in a request
      {0x39, {0x21, 1, 2, 3}},  // download command in a response
  };
  Frame::CFrameDecoder decoder;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.id);
    TestFrames::FrameSpec fields{c.id, 5, 6, 7, 8, 9, c.payload, std::nullopt, std::nullopt};
    fields = TestFrames::WithFirmwareCoding(fields, kScmUdid);
    Bytes bytes = TestFrames::BuildFrame(fields);
    const Outcome o = Decode(decoder, bytes);
    ASSERT_FALSE(o.error);
    DecodeTest::RecordingFrameVisitor visitor;
    o.frame->Accept(visitor);
    EXPECT_EQ(visitor.seen.total(), 0);
    EXPECT_EQ(o.frame->GetLe(), c.payload.size());
    bytes[bytes.size() - 1] ^= 0x40;  // still CRC-checked
    EXPECT_EQ(CodeOf(Decode(decoder, bytes)), ErrorCodes::ms_FrameCrcWrong);
  }
}

/// Overrides one operation only; the others keep their empty defaults.
class SetToOpOnly : public Frame::CDecodedFrameVisitor {
 public:
  int calls = 0;  ///< VisitSnmtSnSetToOp calls
  void VisitSnmtSnSetToOp(const Frame::CDecodedSnmtSnSetToOp&) override { ++calls; }
};

TEST(FrameDecoderDispatch, OneOverriddenOperationSeesOnlyItsKind) {
  Frame::CFrameDecoder decoder;
  for (const FrameKind& kind : FrameKinds()) {
    const Bytes bytes = TestFrames::BuildFrame(DecodeTest::KindSpec(kind, 9, false));
    const Outcome o = Decode(decoder, bytes);
    ASSERT_FALSE(o.error);
    SetToOpOnly visitor;
    o.frame->Accept(visitor);
    EXPECT_EQ(visitor.calls, kind.operation == 5 ? 1 : 0) << kind.name;
  }
  TestFrames::FrameSpec unknown{0x2F, 1, 1, 0, 1, 0, {0x02}, std::nullopt, std::nullopt};
  const Bytes bytes = TestFrames::BuildFrame(unknown);
  SetToOpOnly visitor;
  Decode(decoder, bytes).frame->Accept(visitor);
  EXPECT_EQ(visitor.calls, 0);
}

using Recognizer = bool (*)(u16, const u8*);

TEST(FrameDecoderRecognizers, AtMostOneAcceptsAnyIdAndServiceByte) {
  using namespace Frame;
  const std::vector<Recognizer> recognizers = {
      &CDecodedSnmtAssignSadr::IsSnmtAssignSadr,
      &CDecodedSnmtAssignUdidScm::IsSnmtAssignUdidScm,
      &CDecodedSnmtResponseUdid::IsSnmtResponseUdid,
      &CDecodedSnmtSadrAssigned::IsSnmtSadrAssigned,
      &CDecodedSnmtSnSetToOp::IsSnmtSnSetToOp,
      &CDecodedSnmtSnFail::IsSnmtSnFail,
      &CDecodedSnmtSnAck::IsSnmtSnAck,
      &CDecodedSsdoUploadInitiateExpeditedResponse::IsDecodedSsdoUploadInitiateExpeditedResponse,
      &CDecodedSsdoUploadInitiateSegmentedResponse::IsDecodedSsdoUploadInitiateSegmentedResponse,
      &CDecodedSsdoUploadMiddleSegmentResponse::IsDecodedSsdoUploadMiddleSegmentResponse,
      &CDecodedSsdoUploadEndSegmentResponse::IsDecodedSsdoUploadEndSegmentResponse,
      &CDecodedSsdoDownloadInitiateExpeditedRequest::IsDecodedSsdoDownloadInitiateExpeditedRequest,
      &CDecodedSsdoDownloadInitiateSegmentedRequest::IsDecodedSsdoDownloadInitiateSegmentedRequest,
      &CDecodedSsdoDownloadMiddleSegmentRequest::IsDecodedSsdoDownloadMiddleSegmentRequest,
      &CDecodedSsdoDownloadEndSegmentRequest::IsDecodedSsdoDownloadEndSegmentRequest,
  };
  for (unsigned id = 0; id < 64; ++id) {
    for (unsigned le : {0u, 1u, 9u}) {
      for (unsigned service = 0; service < 256; ++service) {
        Bytes raw(11, 0);
        raw[1] = static_cast<u8>(id << 2);
        raw[2] = static_cast<u8>(le);
        raw[4] = static_cast<u8>(service);
        int accepted = 0;
        int which = 0;
        for (std::size_t r = 0; r < recognizers.size(); ++r) {
          if (recognizers[r](static_cast<u16>(raw.size()), raw.data())) {
            ++accepted;
            which = static_cast<int>(r) + 1;
          }
        }
        ASSERT_LE(accepted, 1) << "id " << id << " service " << service;
        if (le == 0) {
          EXPECT_EQ(accepted, 0);
        }
        // The table's own view: which kind this id and service byte select.
        int expected = 0;
        for (const FrameKind& kind : FrameKinds()) {
          const bool idMatches = id == kind.basicId || (kind.slimId != 0 && id == kind.slimId);
          bool serviceMatches = kind.services.empty();
          for (u8 s : kind.services) {
            serviceMatches = serviceMatches || s == service;
          }
          if (le > 0 && idMatches && serviceMatches) {
            expected = kind.operation;
          }
        }
        ASSERT_EQ(which, expected) << "id " << id << " service " << service;
      }
    }
  }
}

struct Refusal {
  const char* name;  ///< case name
  Bytes bytes;       ///< the frame
  std::optional<std::size_t> length;  ///< the length passed, when not the buffer's
  u16 code;          ///< expected code
  u32 information1;  ///< expected information1
};

std::vector<Refusal> Refusals() {
  std::vector<Refusal> cases;
  const auto& kinds = FrameKinds();
  const Bytes good = TestFrames::BuildFrame(DecodeTest::KindSpec(kinds[7], 10, false));  // LE 10, 37 bytes
  for (std::size_t n = 0; n <= 10; ++n) {
    cases.push_back({"length 10 or less", good, n, ErrorCodes::ms_FrameTooShort, static_cast<u32>(n)});
  }
  cases.push_back({"one byte below the minimum", good, good.size() - 1, ErrorCodes::ms_FrameBelowMinimum, 0});
  const Bytes slim = TestFrames::BuildFrame(DecodeTest::KindSpec(kinds[7], 10, true));  // 25 bytes
  cases.push_back({"slim below the minimum", slim, slim.size() - 1, ErrorCodes::ms_FrameBelowMinimum, 0});
  // LE 200 in an 11-byte buffer: the length gate before any payload is read.
  Bytes bigLe(11, 0);
  bigLe[1] = 0x29 << 2;
  bigLe[2] = 200;
  cases.push_back({"LE beyond the buffer", bigLe, std::nullopt, ErrorCodes::ms_FrameBelowMinimum, 0});
  Bytes crc1 = good;
  crc1[4 + 10] ^= 0x01;
  cases.push_back({"CRC1", crc1, std::nullopt, ErrorCodes::ms_FrameCrcWrong, 0});
  Bytes crc2 = good;
  crc2[crc2.size() - 1] ^= 0x80;
  cases.push_back({"CRC2", crc2, std::nullopt, ErrorCodes::ms_FrameCrcWrong, 0});
  auto unc = DecodeTest::KindSpec(kinds[7], 10, false);
  unc.scmUdid.reset();
  cases.push_back({"SSDO not coded", TestFrames::BuildFrame(unc), std::nullopt, ErrorCodes::ms_FrameCrcWrong, 0});
  // Payload copies differ with both CRCs right: ONE of one frame, TWO of another.
  auto otherFields = DecodeTest::KindSpec(kinds[7], 10, false);
  otherFields.payload[9] ^= 0x10;
  const Bytes other = TestFrames::BuildFrame(otherFields);
  Bytes mixed(good.begin(), good.begin() + 16);
  mixed.insert(mixed.end(), other.begin() + 16, other.end());
  cases.push_back({"payload copies differ", mixed, std::nullopt, ErrorCodes::ms_FramePayloadsDiffer, 0});
  for (u8 id = 0x30; id <= 0x37; ++id) {
    TestFrames::FrameSpec spdo{id, 1, 1, 0, 0, 0, {1, 2}, kScmUdid, std::nullopt};
    cases.push_back({"SPDO", TestFrames::BuildFrame(spdo), std::nullopt, ErrorCodes::ms_FrameSpdo, 0});
  }
  for (u8 id : {u8{0x00}, u8{0x01}, u8{0x10}, u8{0x27}}) {
    TestFrames::FrameSpec fields{id, 1, 1, 0, 1, 0, {1}, std::nullopt, std::nullopt};
    cases.push_back({"other id", TestFrames::BuildFrame(fields), std::nullopt, ErrorCodes::ms_FrameIdUnknown, id});
  }
  // A kind selected with an LE below its minimum.
  for (const FrameKind& kind : kinds) {
    if (kind.leMin > 1) {
      cases.push_back({kind.name, TestFrames::BuildFrame(DecodeTest::KindSpec(kind, kind.leMin - 1, false)),
                       std::nullopt, ErrorCodes::ms_FrameBelowMinimum, 0});
    }
  }
  return cases;
}

TEST(FrameDecoderRefusals, CodesAndInformation) {
  Frame::CFrameDecoder decoder;
  for (const Refusal& r : Refusals()) {
    SCOPED_TRACE(r.name);
    const Outcome o = Decode(decoder, r.bytes, kScmUdid, r.length);
    ASSERT_TRUE(o.error);
    EXPECT_EQ(o.error->GetCode(), r.code) << std::hex << o.error->GetCode();
    EXPECT_EQ(o.error->GetInformation0(), 0);
    EXPECT_EQ(o.error->GetInformation1(), r.information1);
  }
}

TEST(FrameDecoderRefusals, NullPointersThrowInternalError) {
  Frame::CFrameDecoder decoder;
  const Bytes ssdo = TestFrames::BuildFrame(DecodeTest::KindSpec(FrameKinds()[7], 4, false));
  for (auto call : {+[](Frame::CFrameDecoder& d, const Bytes&) { d.GetDecodedFrame(20, nullptr, kScmUdid.data()); },
                    +[](Frame::CFrameDecoder& d, const Bytes& b) {
                      d.GetDecodedFrame(static_cast<u16>(b.size()), b.data(), nullptr);
                    }}) {
    try {
      call(decoder, ssdo);
      ADD_FAILURE() << "no exception";
    } catch (const Util::CException& e) {
      EXPECT_EQ(e.GetCode(), ErrorCodes::ms_InternalError);
    }
  }
}

TEST(FrameDecoderRefusals, TrailingBytesAreIgnored) {
  Frame::CFrameDecoder decoder;
  for (const FrameKind& kind : FrameKinds()) {
    const auto fields = DecodeTest::KindSpec(kind, 9, kind.slimId != 0);
    Bytes bytes = TestFrames::BuildFrame(fields);
    bytes.insert(bytes.end(), {0xDE, 0xAD, 0xBE, 0xEF});
    const Outcome o = Decode(decoder, bytes);
    ASSERT_FALSE(o.error) << kind.name;
    ExpectGetters(kind, fields, bytes, *o.frame);
  }
}

void ExpectCode(const std::function<void()>& call, u16 code, std::optional<u32> information1) {
  try {
    call();
    ADD_FAILURE() << "no exception";
  } catch (const Util::CException& e) {
    EXPECT_EQ(e.GetCode(), code);
    if (information1) {
      EXPECT_EQ(e.GetInformation1(), *information1);
    }
  }
}

TEST(FrameId, ClassificationOfEveryId) {
  for (unsigned v = 0; v < 64; ++v) {
    const u8 id = static_cast<u8>(v);
    EXPECT_EQ(Frame::Id::IsSnmt(id), v >= 0x28 && v <= 0x2F) << v;
    EXPECT_EQ(Frame::Id::IsSpdo(id), v >= 0x30 && v <= 0x37) << v;
    EXPECT_EQ(Frame::Id::IsSsdo(id), v >= 0x38 && v <= 0x3F) << v;
    EXPECT_EQ(Frame::Id::IsSlim(id), v == 0x3A || v == 0x3B) << v;
    EXPECT_NE(Frame::Id::IsBasic(id), Frame::Id::IsSlim(id)) << v;
    // The static helpers read the same from raw bytes: ONE byte 1 >> 2.
    Bytes raw(11, 0);
    raw[1] = static_cast<u8>((v << 2) | 3);
    raw[4] = 0x5E;
    EXPECT_EQ(Frame::CDecodedFrame::GetId(11, raw.data()), id);
    EXPECT_EQ(Frame::CDecodedFrame::IsSnmt(11, raw.data()), Frame::Id::IsSnmt(id));
    EXPECT_EQ(Frame::CDecodedFrame::IsSpdo(11, raw.data()), Frame::Id::IsSpdo(id));
    EXPECT_EQ(Frame::CDecodedFrame::IsSsdo(11, raw.data()), Frame::Id::IsSsdo(id));
    EXPECT_EQ(Frame::CDecodedFrame::IsSlim(11, raw.data()), Frame::Id::IsSlim(id));
    EXPECT_EQ(Frame::CDecodedFrame::IsBasic(11, raw.data()), Frame::Id::IsBasic(id));
    EXPECT_EQ(Frame::CDecodedFrame::GetSnmtExtendedService(11, raw.data()), 0x5E);
    EXPECT_EQ(Frame::CDecodedFrame::GetSsdoSodAccessCommand(11, raw.data()), 0x5E);
  }
}

TEST(FrameId, StaticHelpersRefuseShortAndNullFrames) {
  const Bytes raw(11, 0xA0);
  using Helper = bool (*)(u16, const u8*);
  for (Helper h : {&Frame::CDecodedFrame::IsSnmt, &Frame::CDecodedFrame::IsSsdo, &Frame::CDecodedFrame::IsSpdo,
                   &Frame::CDecodedFrame::IsSlim, &Frame::CDecodedFrame::IsBasic}) {
    ExpectCode([&] { h(10, raw.data()); }, ErrorCodes::ms_FrameTooShort, 10);
    ExpectCode([&] { h(11, nullptr); }, ErrorCodes::ms_InternalError, std::nullopt);
  }
  ExpectCode([&] { Frame::CDecodedFrame::GetSsdoSodAccessCommand(3, raw.data()); }, ErrorCodes::ms_FrameTooShort, 3);
}

TEST(FrameDecoderKinds, BranchesDecodeDirectly) {
  Frame::CFrameDecoder decoder;
  const Bytes snmt = TestFrames::BuildFrame(DecodeTest::KindSpec(FrameKinds()[6], 3, false));
  DecodeTest::RecordingFrameVisitor a;
  decoder.GetDecodedSnmtFrame(static_cast<u16>(snmt.size()), snmt.data())->Accept(a);
  EXPECT_EQ(a.seen.calls[7], 1);
  const Bytes ssdo = TestFrames::BuildFrame(DecodeTest::KindSpec(FrameKinds()[10], 5, true));
  DecodeTest::RecordingFrameVisitor b;
  decoder.GetDecodedSsdoFrame(static_cast<u16>(ssdo.size()), ssdo.data(), kScmUdid.data())->Accept(b);
  EXPECT_EQ(b.seen.calls[11], 1);
}

void ExpectInternalError(const std::function<void()>& call) {
  try {
    call();
    ADD_FAILURE() << "no exception";
  } catch (const Util::CException& e) {
    EXPECT_EQ(e.GetCode(), ErrorCodes::ms_InternalError);
  }
}

TEST(FrameDecoderRefusals, GettersOfUnboundOrRefusedObjectsThrow) {
  Frame::CDecodedUnknownFrame unbound;
  ExpectInternalError([&] { unbound.GetAdr(); });
  ExpectInternalError([&] { unbound.GetDbs(); });
  Frame::CDecodedSnmtAssignSadr assign;
  ExpectInternalError([&] { assign.GetUdid(); });
  ExpectInternalError([&] { assign.GetSafetyAddress(); });

  Frame::CFrameDecoder decoder;
  Bytes bytes = TestFrames::BuildFrame(DecodeTest::KindSpec(FrameKinds()[0], 6, false));
  const Outcome ok = Decode(decoder, bytes);
  ASSERT_FALSE(ok.error);
  bytes[5] ^= 1;  // the same kind, now refused
  ASSERT_EQ(CodeOf(Decode(decoder, bytes)), ErrorCodes::ms_FrameCrcWrong);
  for (auto getter : {&Frame::CDecodedFrame::GetAdr, &Frame::CDecodedFrame::GetTadr, &Frame::CDecodedFrame::GetSdn,
                      &Frame::CDecodedFrame::GetCt}) {
    ExpectInternalError([&] { (ok.frame->*getter)(); });
  }
  ExpectInternalError([&] { ok.frame->GetLe(); });
  ExpectInternalError([&] { ok.frame->GetDbs(); });
}

TEST(FrameDecoderRefusals, GettersStayInsideThePayloadOfAManuallyBoundFrame) {
  // Bound through the base Initialize, a kind skips its LE minimum; its getters refuse instead of reading beyond.
  const Bytes bytes = TestFrames::BuildFrame(DecodeTest::KindSpec(FrameKinds()[0], 2, false));
  Frame::CDecodedSnmtAssignSadr assign;
  static_cast<Frame::CDecodedFrame&>(assign).Initialize(static_cast<u16>(bytes.size()), bytes.data(),
                                                        Util::CUdid::ms_Zero);
  EXPECT_EQ(assign.GetLe(), 2);
  ExpectInternalError([&] { assign.GetUdid(); });
}

TEST(FrameDecoderBitFlips, EveryFlipOutsideLeIsRefused) {
  Frame::CFrameDecoder decoder;
  std::vector<TestFrames::FrameSpec> frameList;
  for (const FrameKind& kind : FrameKinds()) {
    frameList.push_back(DecodeTest::KindSpec(kind, std::max<std::size_t>(kind.leMin, 8), false));
    frameList.push_back(DecodeTest::KindSpec(kind, 12, kind.slimId != 0));
  }
  frameList.push_back({0x2F, 3, 4, 5, 6, 7, {0x44}, std::nullopt, std::nullopt});  // unknown frame
  for (const auto& fields : frameList) {
    const Bytes good = TestFrames::BuildFrame(fields);
    const Outcome original = Decode(decoder, good);
    ASSERT_FALSE(original.error);
    const u8 originalLe = original.frame->GetLe();
    for (std::size_t byte = 0; byte < good.size(); ++byte) {
      for (int bit = 0; bit < 8; ++bit) {
        Bytes flipped = good;
        flipped[byte] ^= static_cast<u8>(1u << bit);
        const Outcome o = Decode(decoder, flipped);
        if (byte == 2) {
          EXPECT_TRUE(o.error || o.frame->GetLe() != originalLe);
        } else {
          EXPECT_TRUE(o.error) << "id " << int(fields.id) << " byte " << byte << " bit " << bit;
        }
      }
    }
  }
}

}  // namespace
