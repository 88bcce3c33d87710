// The event records that the firmware's event store sends on "~event", read
// back by the checker's event decoder after the relay's complement: each
// record must decode with the level, code and information the firmware wrote.
#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "CException.h"
#include "ErrorCodes.h"
#include "Event/CDecodedCorvaneAcknowledged.h"
#include "Event/CDecodedEventVisitor.h"
#include "Event/CDecodedFirmwareAcknowledged.h"
#include "Event/CDecodedModulesAcknowledged.h"
#include "Event/CEventDecoder.h"
#include "FwUnitSupport.h"
#include "HNFevt.h"
#include "HNFiff_ModuleState.h"
#include "SAPL.h"

namespace CrossChannelTest {
namespace {

using Bytes = std::vector<u8>;  ///< one plain message

/// Kinds the checker decodes an event into (the visitor's order; 0 the unknown event).
enum EventKind : int {
  UnknownEvent = 0,         ///< forwarded only
  CorvaneAcknowledged = 1,  ///< key medium acknowledged by the firmware
  ModulesAcknowledged = 2,  ///< modules acknowledged by the firmware
  FirmwareAcknowledged = 3  ///< firmware acknowledged by the firmware
};

/// Counts the visitor operations and keeps the module count.
class EventKindRecorder : public Event::CDecodedEventVisitor {
 public:
  int kind = UnknownEvent;  ///< last operation
  int calls = 0;            ///< number of operations
  u32 moduleCount = 0;      ///< GetAcknowledgedModuleCount of the modules kind
  void VisitCorvaneAcknowledged(const Event::CDecodedCorvaneAcknowledged&) override { Record(CorvaneAcknowledged); }
  void VisitModulesAcknowledged(const Event::CDecodedModulesAcknowledged& e) override {
    Record(ModulesAcknowledged);
    moduleCount = e.GetAcknowledgedModuleCount();
  }
  void VisitFirmwareAcknowledged(const Event::CDecodedFirmwareAcknowledged&) override { Record(FirmwareAcknowledged); }

 private:
  void Record(int k) {
    kind = k;
    ++calls;
  }
};

/// One record as the firmware must have written it.
struct Record {
  u8 level;   ///< level byte
  u32 code;   ///< event code
  u16 info0;  ///< information0
  u32 info1;  ///< information1
  int kind;   ///< kind the checker decodes it into
};

/// A firmware occurrence and the records it sends, in order.
struct EventCase {
  std::string name;             ///< what happened
  std::function<void()> raise;  ///< makes the firmware report it
  std::vector<Record> records;  ///< what reaches the host
};

/// Readable form for test failures.
void PrintTo(const EventCase& c, std::ostream* os) { *os << c.name; }

std::vector<EventCase> EventCases() {
  return {
      {"WarningWithBothInformations",
       [] { HNFevt_EnregisterEventLevel(0x62008A02, 0x1234, 0xA1B2C3D4, 2); },
       {{2, 0x62008A02, 0x1234, 0xA1B2C3D4, UnknownEvent}}},
      {"InformationAtItsDefaultLevel",
       [] { HNFevt_EnregisterEventInfo(0x62108709, 0xFFFF, 0xFFFFFFFF); },
       {{1, 0x62108709, 0xFFFF, 0xFFFFFFFF, UnknownEvent}}},
      {"FatalAtItsDefaultLevel",
       [] { HNFevt_EnregisterEvent(0x92008191, 0x80000001); },
       {{3, 0x92008191, 0, 0x80000001, UnknownEvent}}},
      {"LevelFourKept",
       [] { HNFevt_EnregisterEventLevel(0x62008709, 1, 2, 4); },
       {{4, 0x62008709, 1, 2, UnknownEvent}}},
      {"LevelZeroStoredAsWarning",
       [] { HNFevt_EnregisterEventLevel(0x62008709, 3, 4, 0); },
       {{2, 0x62008709, 3, 4, UnknownEvent}}},
      {"OtherClassRaisesItsFatalFirst",
       [] { HNFevt_EnregisterEventLevel(0x52001234, 0, 9, 2); },
       {{3, 0x92008500, 0, 5, UnknownEvent}, {2, 0x52001234, 0, 9, UnknownEvent}}},
      {"StackFailSafeError",
       [] { SAPL_SERR_SignalErrorClbk(0xC5FF, 0x01020304); },
       {{3, 0x9200A5FF, 0, 0x01020304, UnknownEvent}}},
      {"ScmInformation", [] { SAPL_SERR_SignalErrorClbk(0x1105, 9); }, {{1, 0x6200A105, 0, 9, UnknownEvent}}},
      {"NodeFailure", [] { SAPL_ScmSnFailClbk(0x03A5, 2, 9, 5); }, {{1, 0x6200AF40, 0, 0x090203A5, UnknownEvent}}},
      {"StateWordsDisagree",
       [] {
         glFailSafeB = 0;
         HNFiff_ModuleStateRead();
       },
       {{3, 0x92008701, 0, HNFiff_kModuleStateNormal, UnknownEvent}, {3, 0x92008701, 0, 0, UnknownEvent}}},
      // The store's record of the acknowledgement codes (level 1, information0 names what was acknowledged).
      {"KeyMediumAcknowledgedInSetupMode",
       [] { HNFevt_EnregisterEventLevel(0x6200C094, 7, 0, 1); },
       {{1, 0x6200C094, 7, 0, CorvaneAcknowledged}}},
      {"ModulesAcknowledgedAutomatically",
       [] { HNFevt_EnregisterEventLevel(0x6200C095, 8, 12, 1); },
       {{1, 0x6200C095, 8, 12, ModulesAcknowledged}}},
      {"FirmwareAcknowledgedInSetupMode",
       [] { HNFevt_EnregisterEventLevel(0x6200C094, 9, 0x00030201, 1); },
       {{1, 0x6200C094, 9, 0x00030201, FirmwareAcknowledged}}},
      {"AcknowledgementCodeAtWarningLevel",
       [] { HNFevt_EnregisterEventLevel(0x6200C094, 8, 3, 2); },
       {{2, 0x6200C094, 8, 3, UnknownEvent}}},
      {"AcknowledgementCodeOtherSubject",
       [] { HNFevt_EnregisterEventLevel(0x6200C095, 10, 3, 1); },
       {{1, 0x6200C095, 10, 3, UnknownEvent}}},
  };
}

class EventsToChecker : public FwTest::FwFixture {
 protected:
  /// Checks one message of the queue against the record the firmware must have sent.
  void ExpectDecodes(const Bytes& message, const Record& r) {
    ASSERT_EQ(message.size(), HNFevt_kRecordSize);
    const Bytes before = message;
    const auto length = static_cast<u8>(message.size());
    const Event::CDecodedEvent* e = decoder.GetDecodedEvent(length, message.data());
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->GetLevel(), r.level);
    EXPECT_EQ(e->GetCode(), r.code);
    EXPECT_EQ(e->GetInformation0(), r.info0);
    EXPECT_EQ(e->GetInformation1(), r.info1);
    EXPECT_EQ(Event::CDecodedEvent::GetCode(length, message.data()), r.code);
    EXPECT_EQ(Event::CDecodedEvent::GetInformation1(length, message.data()), r.info1);
    EventKindRecorder visitor;
    e->Accept(visitor);
    EXPECT_EQ(visitor.kind, r.kind);
    EXPECT_EQ(visitor.calls, r.kind == UnknownEvent ? 0 : 1);
    if (r.kind == ModulesAcknowledged) {
      EXPECT_EQ(visitor.moduleCount, r.info1);
    }
    EXPECT_EQ(message, before) << "the decoder wrote into the record";
  }

  Event::CEventDecoder decoder;  ///< the checker's decoder
};

class FirmwareEventDecodes : public EventsToChecker, public ::testing::WithParamInterface<EventCase> {};

TEST_P(FirmwareEventDecodes, WithTheFieldsTheFirmwareWrote) {
  const EventCase& c = GetParam();
  c.raise();
  // What the checker relays: the queue's messages, complemented back.
  const auto messages = TakePlain("event");
  ASSERT_EQ(messages.size(), c.records.size());
  for (std::size_t i = 0; i < messages.size(); ++i) {
    SCOPED_TRACE("record " + std::to_string(i));
    ExpectDecodes(messages[i], c.records[i]);
  }
}

INSTANTIATE_TEST_SUITE_P(Occurrences, FirmwareEventDecodes, ::testing::ValuesIn(EventCases()),
                         [](const auto& info) { return info.param.name; });

TEST_F(EventsToChecker, OverflowRecordNamesTheLostCodeAndTheCount) {
  for (int i = 0; i < kEventCapacity - 1; ++i) {
    HNFevt_EnregisterEventLevel(0x62008709, 0, static_cast<u32>(i), 2);
  }
  HNFevt_EnregisterEventLevel(0x6200C095, 8, 4, 1);  // takes the last slot: sent as the overflow record
  const auto messages = TakePlain("event");
  ASSERT_EQ(messages.size(), static_cast<std::size_t>(kEventCapacity));
  ExpectDecodes(messages.front(), {2, 0x62008709, 0, 0, UnknownEvent});
  ExpectDecodes(messages.back(), {2, HNFevt_kEvtOverflow, 0xC095, static_cast<u32>(kEventCapacity), UnknownEvent});
}

TEST_F(EventsToChecker, ShortenedRecordIsRefusedWithItsLengthAndLongerOnesReadElevenBytes) {
  HNFevt_EnregisterEventLevel(0x6200C095, 8, 0x01020304, 1);
  const auto messages = TakePlain("event");
  ASSERT_EQ(messages.size(), 1U);
  Bytes record = messages[0];
  for (u8 n = 0; n < HNFevt_kRecordSize; ++n) {
    try {
      decoder.GetDecodedEvent(n, record.data());
      ADD_FAILURE() << "length " << +n << " decoded";
    } catch (const Util::CException& e) {
      EXPECT_EQ(e.GetCode(), Util::ErrorCodes::ms_EventTooShort);
      EXPECT_EQ(e.GetInformation1(), n);
    }
  }
  record.push_back(0xA5);  // a longer buffer: only the first eleven bytes count
  const Event::CDecodedEvent* e = decoder.GetDecodedEvent(static_cast<u8>(record.size()), record.data());
  EventKindRecorder visitor;
  e->Accept(visitor);
  EXPECT_EQ(visitor.kind, ModulesAcknowledged);
  EXPECT_EQ(visitor.moduleCount, 0x01020304U);
}

}  // namespace
}  // namespace CrossChannelTest
