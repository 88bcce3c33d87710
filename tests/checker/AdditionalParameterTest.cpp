// The additional-parameter catalog (three chained sources, the later one
// winning; the key ranges; use before and after Initialize) and the checking
// inspector over frame sequences built with the frame builder: which download
// frames are captured, joined, compared and refused, and IsValid after each
// refusal. Inspection and catalog queries allocate nothing.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "CAppendingInvertedAdditionalParameterHeaderReader.h"
#include "CException.h"
#include "CheckerTestSupport.h"
#include "Check/CCheckingAdditionalParameterInspector.h"
#include "Check/CPersistentAdditionalParameterCatalog.h"
#include "CountingAllocator.h"
#include "ErrorCodes.h"
#include "Frame/CFrameDecoder.h"
#include "FrameBuilder.h"

namespace {

using Bytes = std::vector<u8>;
using Check::CPersistentAdditionalParameterCatalog;
using Util::CException;
using Util::ErrorCodes;

/// One catalog entry as a source delivers it: plain header, complemented by the source.
struct Entry {
  u16 sadr;       ///< SADR delivered
  u8 number;      ///< parameter number delivered
  Bytes header;   ///< 16 plain header bytes
};

/// A substitute source of complemented headers.
class ListReader : public Param::CInvertedAdditionalParameterHeaderReader {
 public:
  explicit ListReader(std::vector<Entry> entries) : m_Entries(std::move(entries)) {}
  void Open() override { m_Next = 0; }
  bool TryReadNext(u16& sadr, u8& parameterNumber, const u8*& header) override {
    if (m_Next == m_Entries.size()) return false;
    const Entry& e = m_Entries[m_Next++];
    m_Inverted = e.header;
    for (auto& b : m_Inverted) b = static_cast<u8>(~b);
    sadr = e.sadr;
    parameterNumber = e.number;
    header = m_Inverted.empty() ? nullptr : m_Inverted.data();
    return true;
  }
  void Close() override {}

 private:
  std::vector<Entry> m_Entries;  ///< what the source delivers
  size_t m_Next = 0;             ///< next entry
  Bytes m_Inverted;              ///< the last header, complemented
};

/// A plain 16-byte header: number, version 1, SADR, length, CRC, timestamp.
Bytes Header(u8 number, u16 sadr, u32 length = 24, u32 crc = 0x11223344, u32 timestamp = 7) {
  Bytes h(16);
  h[0] = number;
  h[1] = 1;
  h[2] = static_cast<u8>(sadr), h[3] = static_cast<u8>(sadr >> 8);
  for (int i = 0; i < 4; ++i) {
    h[4 + i] = static_cast<u8>(length >> (8 * i));
    h[8 + i] = static_cast<u8>(crc >> (8 * i));
    h[12 + i] = static_cast<u8>(timestamp >> (8 * i));
  }
  return h;
}

Bytes Inverted(Bytes b) {
  for (auto& x : b) x = static_cast<u8>(~x);
  return b;
}

/// The catalog over three substitute sources, chained as the persistence chains them.
struct Catalog {
  Catalog(std::vector<Entry> a, std::vector<Entry> b, std::vector<Entry> c)
      : first(std::move(a)), second(std::move(b)), third(std::move(c)), chain(first, second, third) {}
  ListReader first, second, third;
  Param::CAppendingInvertedAdditionalParameterHeaderReader chain;
  std::unique_ptr<CPersistentAdditionalParameterCatalog> catalog =
      std::make_unique<CPersistentAdditionalParameterCatalog>(chain);
};

uint16_t CodeOf(const std::function<void()>& action, uint16_t* i0 = nullptr, uint32_t* i1 = nullptr) {
  try {
    action();
  } catch (const CException& e) {
    if (i0) *i0 = e.GetInformation0();
    if (i1) *i1 = e.GetInformation1();
    return e.GetCode();
  }
  return 0;
}

TEST(AdditionalParameterCatalogTest, LaterSourcesOverwriteAndEveryKeyIsChecked) {
  Catalog c({{7, 2, Header(2, 7, 10)}, {1, 2, Header(2, 1, 11)}, {9, 0, Header(0, 9)}},  // node list
            {{1, 2, Header(2, 1, 76)}},                                                // machine options
            {{7, 2, Header(2, 7, 30)}, {1023, 15, Header(15, 1023)}});                  // "pardata1.bin"
  c.catalog->Initialize();
  struct Query {
    u16 sadr;                     ///< asked SADR
    u8 number;                    ///< asked number
    bool has;                     ///< HasAdditionalParameter
    std::optional<Bytes> header;  ///< the stored header, plain; none when absent
    uint16_t code;                ///< error of both queries, 0 for none
    uint16_t i0;                  ///< its information0
    uint32_t i1;                  ///< its information1
  };
  const Query queries[] = {
      {7, 2, true, Header(2, 7, 30), 0, 0, 0},       // "pardata1.bin" over the node list
      {1, 2, true, Header(2, 1, 76), 0, 0, 0},       // the machine options over the node list
      {9, 0, true, Header(0, 9), 0, 0, 0},           // number 0 is a number like the others
      {1023, 15, true, Header(15, 1023), 0, 0, 0},   // highest SADR and number
      {7, 3, false, std::nullopt, 0, 0, 0},          // absent entry
      {8, 2, false, std::nullopt, 0, 0, 0},
      {0, 2, false, std::nullopt, ErrorCodes::ms_AdditionalParameterSafetyAddress, 0, 0},
      {1024, 2, false, std::nullopt, ErrorCodes::ms_AdditionalParameterSafetyAddress, 0, 1024},
      {7, 16, false, std::nullopt, ErrorCodes::ms_AdditionalParameterNumber, 0, 16},
  };
  for (const Query& q : queries) {
    SCOPED_TRACE(testing::Message() << q.sadr << "/" << int(q.number));
    uint16_t i0 = 0;
    uint32_t i1 = 0;
    bool has = false;
    EXPECT_EQ(CodeOf([&] { has = c.catalog->HasAdditionalParameter(q.sadr, q.number); }, &i0, &i1), q.code);
    EXPECT_EQ(has, q.has);
    if (q.code != 0) {
      EXPECT_EQ(i1, q.i1);
      EXPECT_EQ(CodeOf([&] { c.catalog->GetInvertedAdditionalParameterHeader(q.sadr, q.number); }), q.code);
    } else if (q.header) {
      const u8* stored = c.catalog->GetInvertedAdditionalParameterHeader(q.sadr, q.number);
      EXPECT_EQ(Bytes(stored, stored + 16), Inverted(*q.header));
    } else {
      EXPECT_EQ(CodeOf([&] { c.catalog->GetInvertedAdditionalParameterHeader(q.sadr, q.number); }, &i0, &i1),
                ErrorCodes::ms_AdditionalParameterUnknown);
      EXPECT_EQ(i0, q.sadr);
      EXPECT_EQ(i1, q.number);
    }
  }
}

TEST(AdditionalParameterCatalogTest, InitializeRefusesBadEntriesAndMisuse) {
  struct Row {
    const char* name;        ///< what the source delivers
    std::vector<Entry> list; ///< the first source
    uint16_t code;           ///< Initialize's error
    uint32_t i1;             ///< its information1
  };
  const Row rows[] = {
      {"number above 15", {{7, 16, Header(16, 7)}}, ErrorCodes::ms_AdditionalParameterNumber, 16},
      {"SADR 0", {{0, 1, Header(1, 0)}}, ErrorCodes::ms_AdditionalParameterSafetyAddress, 0},
      {"SADR 1024", {{1024, 1, Header(1, 1024)}}, ErrorCodes::ms_AdditionalParameterSafetyAddress, 1024},
      {"null header", {{7, 1, {}}}, ErrorCodes::ms_InternalError, 0},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    Catalog c(r.list, {}, {});
    uint32_t i1 = 0;
    EXPECT_EQ(CodeOf([&] { c.catalog->Initialize(); }, nullptr, &i1), r.code);
    if (r.code != ErrorCodes::ms_InternalError) {
      EXPECT_EQ(i1, r.i1);
    }
  }
  Catalog c({{7, 1, Header(1, 7)}}, {}, {});
  EXPECT_EQ(CodeOf([&] { c.catalog->HasAdditionalParameter(7, 1); }), ErrorCodes::ms_InternalError);
  EXPECT_EQ(CodeOf([&] { c.catalog->GetInvertedAdditionalParameterHeader(7, 1); }), ErrorCodes::ms_InternalError);
  c.catalog->Initialize();
  EXPECT_EQ(CodeOf([&] { c.catalog->Initialize(); }), ErrorCodes::ms_InternalError);
  EXPECT_TRUE(c.catalog->HasAdditionalParameter(7, 1));
}

// ---- the inspector ----

const TestFrames::Udid kKey{0x02, 0x5C, 0x3E, 0x10, 0x20, 0x31};  ///< the SCM UDID coding SSDO frames
constexpr u16 kSdn = 5;

/// One frame of a sequence and what inspecting it gives.
struct Step {
  bool sent;             ///< true: the firmware sends it, false: received from the network
  Bytes frame;           ///< queue form
  uint16_t code = 0;     ///< the error thrown, 0 for none
  uint16_t i0 = 0;       ///< its information0
  uint32_t i1 = 0;       ///< its information1
};

Bytes Frame(u8 id, u16 adr, u16 ct, u16 tadr, Bytes payload) {
  return CheckerTest::DomainFrame(id, adr, kSdn, ct, tadr, std::move(payload), kKey);
}
/// The SN asks for its additional set (SN fail, error group g).
Step SnFail(u16 sadr, u8 group = 5) { return {false, Frame(0x2D, 1, 0, sadr, {0x07, group, 0})}; }
/// The SCM assigns the SADR.
Step AssignSadr(u16 sadr) { return {true, Frame(0x2A, sadr, 0, 1, {1, 2, 3, 4, 5, 6})}; }
Bytes Object(u16 index, u8 sub) { return {static_cast<u8>(index), static_cast<u8>(index >> 8), sub}; }
Bytes Cat(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}
Bytes Part(const Bytes& b, size_t from, size_t count) {
  return Bytes(b.begin() + static_cast<long>(from), b.begin() + static_cast<long>(std::min(b.size(), from + count)));
}
/// Expedited initiate carrying data whole.
Step Expedited(u16 sadr, u16 ct, const Bytes& data, u16 index = 0x101A) {
  return {true, Frame(0x38, sadr, ct, 1, Cat(Cat({0x21}, Object(index, 0)), data))};
}
/// Segmented initiate: the u32 total length, then data.
Step Initiate(u16 sadr, u16 ct, const Bytes& data, u16 index = 0x101A) {
  return {true, Frame(0x38, sadr, ct, 1, Cat(Cat(Cat({0x29}, Object(index, 0)), {40, 0, 0, 0}), data))};
}
Step Middle(u16 sadr, u16 ct, const Bytes& data) { return {true, Frame(0x38, sadr, ct, 1, Cat({0x09}, data))}; }
Step End(u16 sadr, u16 ct, const Bytes& data) { return {true, Frame(0x38, sadr, ct, 1, Cat({0x49}, data))}; }
Step Refused(Step s, uint16_t code, u16 sadr, u8 number) {
  s.code = code, s.i0 = sadr, s.i1 = number;
  return s;
}

/// A sequence of frames and what each gives.
struct Sequence {
  const char* name;         ///< what the sequence shows
  std::vector<Step> steps;  ///< in order
};

/// The catalog of the sequences: number 2 of SADR 7, number 1 of SADR 9.
struct InspectorFixture {
  InspectorFixture() : catalog({{7, 2, Header(2, 7)}, {9, 1, Header(1, 9, 99)}}, {}, {}) {
    catalog.catalog->Initialize();
    inspector = std::make_unique<Check::CCheckingAdditionalParameterInspector>(*catalog.catalog);
  }
  Catalog catalog;
  std::unique_ptr<Check::CCheckingAdditionalParameterInspector> inspector;
  Frame::CFrameDecoder decoder;
};

TEST(AdditionalParameterInspectorTest, SequenceTable) {
  const Bytes good = Header(2, 7);
  const Bytes otherTime = Header(2, 7, 24, 0x11223344, 8);
  const Bytes otherCrc = Header(2, 7, 24, 0x11223345);
  const Bytes numberThree = Header(3, 7);
  const Bytes numberSixteen = Header(16, 7);
  const Bytes tail = Bytes(8, 0xEE);
  const uint16_t unknown = ErrorCodes::ms_AdditionalParameterUnknown;
  const uint16_t differs = ErrorCodes::ms_AdditionalParameterHeaderDiffers;
  const std::vector<Sequence> sequences = {
      {"no request: a forged download is not looked at", {Expedited(7, 10, numberThree)}},
      {"request of another group: not looked at", {SnFail(7, 4), Expedited(7, 10, numberThree)}},
      {"expedited, correct header", {SnFail(7), Expedited(7, 10, good)}},
      {"expedited, number not in the catalog", {SnFail(7), Refused(Expedited(7, 10, numberThree), unknown, 7, 3)}},
      {"expedited, timestamp differs", {SnFail(7), Refused(Expedited(7, 10, otherTime), differs, 7, 2)}},
      {"expedited, CRC differs", {SnFail(7), Refused(Expedited(7, 10, otherCrc), differs, 7, 2)}},
      {"number above 15",
       {SnFail(7), Refused(Expedited(7, 10, numberSixteen), ErrorCodes::ms_AdditionalParameterNumber, 7, 16)}},
      {"another object is not looked at", {SnFail(7), Expedited(7, 10, numberThree, 0x1018)}},
      {"header split 5 + 11 over initiate and middle segment",
       {SnFail(7), Initiate(7, 20, Part(good, 0, 5)), Middle(7, 21, Cat(Part(good, 5, 11), tail)), End(7, 22, tail)}},
      {"forged header split 5 + 11 is refused with the segment that completes it",
       {SnFail(7), Initiate(7, 20, Part(otherTime, 0, 5)),
        Refused(Middle(7, 21, Part(otherTime, 5, 11)), differs, 7, 2)}},
      {"segments resent after a repeat request are not taken twice",
       {SnFail(7), Initiate(7, 20, Part(good, 0, 4)), Middle(7, 21, Part(good, 4, 4)), Initiate(7, 20, Part(good, 0, 4)),
        Middle(7, 21, Part(good, 4, 4)), Middle(7, 22, Part(good, 8, 8)), End(7, 23, tail)}},
      {"a segment out of order is not taken",
       {SnFail(7), Initiate(7, 20, Part(good, 0, 4)), Middle(7, 25, Part(numberThree, 0, 12)),
        Middle(7, 21, Part(good, 4, 12))}},
      {"CT wraps from 0xFFFF to 1",
       {SnFail(7), Initiate(7, 0xFFFE, Part(good, 0, 4)), Middle(7, 0xFFFF, Part(good, 4, 4)),
        Refused(Middle(7, 1, Part(otherCrc, 8, 8)), differs, 7, 2)}},
      {"segmented initiate with CT 0 is checked",
       {SnFail(7), Refused(Initiate(7, 0, otherTime), differs, 7, 2)}},
      {"a forged header in a second download after a correct one",
       {SnFail(7), Expedited(7, 10, good), Refused(Expedited(7, 30, numberThree), unknown, 7, 3)}},
      {"a forged segmented download after a correct one",
       {SnFail(7), Initiate(7, 20, good), End(7, 21, tail), Refused(Initiate(7, 40, otherTime), differs, 7, 2)}},
      {"a SADR assignment ends the request",
       {SnFail(7), AssignSadr(7), Expedited(7, 10, numberThree)}},
      {"a SADR assignment drops the transfer and a half-captured header",
       {SnFail(7), Initiate(7, 20, Part(good, 0, 8)), AssignSadr(7), SnFail(7), Middle(7, 21, Part(otherTime, 8, 8)),
        Expedited(7, 30, good)}},
      {"a download shorter than 16 bytes is never compared", {SnFail(7), Expedited(7, 10, Part(numberThree, 0, 12))}},
      {"requests are per SADR",
       {SnFail(9), Expedited(7, 10, numberThree), Refused(Expedited(9, 11, good), unknown, 9, 2)}},
      {"a received frame with SADR 0 is ignored", {SnFail(0), Expedited(7, 10, numberThree)}},
      {"a sent frame with SADR 0 is an internal error",
       {{true, Frame(0x38, 0, 10, 1, Cat(Cat({0x21}, Object(0x101A, 0)), good)), ErrorCodes::ms_InternalError, 0, 0}}},
  };
  for (const Sequence& sequence : sequences) {
    SCOPED_TRACE(sequence.name);
    InspectorFixture f;
    bool refused = false;
    for (size_t i = 0; i < sequence.steps.size(); ++i) {
      SCOPED_TRACE(i);
      const Step& step = sequence.steps[i];
      const Frame::CDecodedFrame* frame =
          f.decoder.GetDecodedFrame(static_cast<u16>(step.frame.size()), step.frame.data(), kKey.data());
      uint16_t i0 = 0;
      uint32_t i1 = 0;
      const uint16_t code = CodeOf(
          [&] { step.sent ? f.inspector->InspectSentFrame(*frame) : f.inspector->InspectReceivedFrame(*frame); }, &i0,
          &i1);
      EXPECT_EQ(code, step.code);
      if (step.code != 0 && step.code != ErrorCodes::ms_InternalError) {
        EXPECT_EQ(i0, step.i0);
        EXPECT_EQ(i1, step.i1);
        refused = true;
      }
      EXPECT_EQ(f.inspector->IsValid(), !refused);
    }
  }
}

TEST(AdditionalParameterInspectorTest, InspectionAndCatalogQueriesAllocateNothing) {
  InspectorFixture f;
  const Bytes good = Header(2, 7);
  const std::vector<Step> steps = {SnFail(7), Initiate(7, 20, Part(good, 0, 5)), Middle(7, 21, Part(good, 5, 11)),
                                   End(7, 22, Bytes(4, 1)), Expedited(7, 30, good)};
  std::vector<const Frame::CDecodedFrame*> frames;
  const TestAlloc::CAllocationSpan span;
  for (const Step& step : steps) {
    const Frame::CDecodedFrame* frame =
        f.decoder.GetDecodedFrame(static_cast<u16>(step.frame.size()), step.frame.data(), kKey.data());
    step.sent ? f.inspector->InspectSentFrame(*frame) : f.inspector->InspectReceivedFrame(*frame);
    static_cast<void>(f.catalog.catalog->HasAdditionalParameter(7, 2));
    static_cast<void>(f.catalog.catalog->GetInvertedAdditionalParameterHeader(7, 2));
  }
  EXPECT_EQ(span.Count(), 0);
  EXPECT_TRUE(f.inspector->IsValid());
}

}  // namespace
