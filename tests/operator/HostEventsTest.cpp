// Decoding of the 11-byte event records and the names the operator gives their codes.
#include <gtest/gtest.h>

#include "HostEvents.h"

namespace {

using Bytes = std::vector<uint8_t>;
using ScmSim::EventKind;
using ScmSim::EventRecord;

struct DecodeCase {
  Bytes bytes;          ///< the record as it comes
  EventRecord expected; ///< its fields
};

TEST(HostEventsTest, DecodesEveryFieldLittleEndian) {
  const std::vector<DecodeCase> cases{
      {{0x02, 0x40, 0xAF, 0x00, 0x62, 0x34, 0x12, 0x03, 0x00, 0x04, 0x01}, {2, 0x6200AF40u, 0x1234, 0x01040003u}},
      {{0x03, 0x18, 0xAF, 0x00, 0x92, 0x00, 0x00, 0x00, 0x00, 0x00, 0x02}, {3, 0x9200AF18u, 0, 0x02000000u}},
      {{0x03, 0x4D, 0xE2, 0x00, 0x00, 0x01, 0x00, 0x03, 0x00, 0x00, 0x00}, {3, 0xE24Du, 1, 3}},
      {{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, {0xFF, 0xFFFFFFFFu, 0xFFFF, 0xFFFFFFFFu}},
      {{0x01, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0A}, {1, 0x04030201u, 0x0605, 0x0A090807u}},
  };
  for (const DecodeCase& c : cases) {
    const auto r = ScmSim::DecodeEventRecord(c.bytes);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->level, c.expected.level);
    EXPECT_EQ(r->code, c.expected.code);
    EXPECT_EQ(r->information0, c.expected.information0);
    EXPECT_EQ(r->information1, c.expected.information1);
    EXPECT_EQ(ScmSim::EncodeEventRecord(*r), c.bytes);
  }
}

TEST(HostEventsTest, RefusesRecordsOfAnotherLength) {
  for (size_t length : {0u, 1u, 10u, 12u}) {
    EXPECT_FALSE(ScmSim::DecodeEventRecord(Bytes(length, 0x11))) << length;
  }
}

struct ClassCase {
  uint32_t code;      ///< event code
  uint8_t eventClass; ///< its class
  bool information;   ///< bits 23..20 are 1
  bool fatal;         ///< class 9
  bool checker;       ///< a checker log record
};

TEST(HostEventsTest, ClassInformationFatalAndChecker) {
  const std::vector<ClassCase> cases{
      {0x6200AF40u, 6, false, false, false}, {0x9200AF18u, 9, false, true, false},
      {0x62108580u, 6, true, false, false},  {0x5200A000u, 5, false, false, false},
      {0xE24Du, 0, false, false, true},      {0xE300u, 0, false, false, false},
      {0x0100E200u, 0, false, false, false},
  };
  for (const ClassCase& c : cases) {
    EXPECT_EQ(ScmSim::EventClass(c.code), c.eventClass) << std::hex << c.code;
    EXPECT_EQ(ScmSim::IsInformationEvent(c.code), c.information) << std::hex << c.code;
    EXPECT_EQ(ScmSim::IsFatalEvent(c.code), c.fatal) << std::hex << c.code;
    EXPECT_EQ(ScmSim::IsCheckerRecord(c.code), c.checker) << std::hex << c.code;
  }
}

struct NameCase {
  uint32_t code;     ///< event code
  EventKind kind;    ///< expected kind
  const char* name;  ///< expected name ("" = unknown)
};

TEST(HostEventsTest, NamesTheCodesThatMatter) {
  const std::vector<NameCase> cases{
      {0x6200AF40u, EventKind::SnFail, "SN FAIL"},
      {0x9200A305u, EventKind::StackError, "fatal frame serializer: LE 255 asked for"},
      {0x9200A3FEu, EventKind::StackError, "fatal stack error SFS 0xFE (frame serializer)"},
      {0x9200AB21u, EventKind::StackError, "fatal stack error SSDOS 0x21 (SSDO server)"},
      {0x9200A724u, EventKind::StackError, "fatal object dictionary: invalid handle"},
      {0x9200AB14u, EventKind::StackError, "fatal SSDO server: partial write pending without the lock"},
      {0x6200A112u, EventKind::StackError, "SCM: additional parameter set refused: 15 bytes or fewer"},
      {0x6200A105u, EventKind::StackError, "SCM: unexpected event, the node starts again"},
      {0x6200A10Eu, EventKind::StackError, "SCM: SSDO transfer aborted by the node (abort code)"},
      {0x9200A107u, EventKind::StackError, "fatal SCM: no node configured"},
      {0x9200A514u, EventKind::StackError, "fatal SNMT master: no free slot"},
      {0x9200AA28u, EventKind::StackError, "fatal SSDO client: a transfer already runs for this SADR"},
      {0x9200AA0Bu, EventKind::StackError, "fatal SSDO client: buffer smaller than its type"},
      {0x9200AA01u, EventKind::StackError, "fatal stack error SSDOC 0x01 (SSDO client: argument refused or internal error)"},
      {0x9200A7EEu, EventKind::StackError, "fatal stack error SOD 0xEE (object dictionary)"},
      {0x6200A1F0u, EventKind::StackError, "stack error SCM 0xF0 (configuration manager)"},
      {0x9200AF18u, EventKind::ParameterFile, "kel_para.saf refused"},
      {0x6200AF19u, EventKind::ParameterFile, "corvane.dat refused"},
      {0x9200AF1Bu, EventKind::ParameterFile, "pardata1.bin refused"},
      {0x92008816u, EventKind::StartUp, "checker ident word differs"},
      {0x92008818u, EventKind::StartUp, "Qor UDID without the vendor prefix"},
      {0x62008482u, EventKind::StartUp, "gap over 10 s between two cycles"},
      {0x92008193u, EventKind::Channel, "channel send failed"},
      {0x62108580u, EventKind::Channel, "event queue full: an event was lost"},
      {0x62008A02u, EventKind::FileAccess, "file open refused"},
      {0x6200C08Bu, EventKind::Application, "remote control: command answered or order confirmed (result, code)"},
      {0x6200C0FEu, EventKind::Application, "application information"},
      {0x9200C0FEu, EventKind::Application, "application internal error"},
      {0x9200C00Eu, EventKind::Application, "application: scan, quit or start-up handshake broken"},
      {0x6200C089u, EventKind::Application, "module missing"},
      {0x6200C08Du, EventKind::Application, "module invalid"},
      {0x6200C08Au, EventKind::Application, "module revision differs from the accepted one"},
      {0x9200C000u, EventKind::Application, "confirmation: machine in a state it cannot be in (tag, state)"},
      {0x6200C07Fu, EventKind::Application, "user-data format: file emptied (2 pardata1.bin, 3 autocnf.bin)"},
      {0x6200C094u, EventKind::Application, "setup mode: switched or accepted by itself (case, count)"},
      {0x6200C095u, EventKind::Application, "setup mode off: accepted by the commissioning settings (case, count)"},
      {0x9200C092u, EventKind::Application, "Qor variable not written (where, detail)"},
      {0x9200C093u, EventKind::Application, "Qor controller fail-safe: variable not written (state, domain)"},
      {0x6200C086u, EventKind::Application, "fwrevcnf.bin unusable or not written (reason, detail)"},
      {0xE24Du, EventKind::Checker, "checker: memory block CRC differs"},
      {0xE260u, EventKind::Checker, "checker: parameter or key file refused"},
      {0xE2FFu, EventKind::Checker, "checker error"},
      // the platform's own 0x?200AFxx codes and unit 0 are not stack errors
      {0x6200AF77u, EventKind::Unknown, ""},
      {0x9200A0FFu, EventKind::Unknown, ""},
      {0x12345678u, EventKind::Unknown, ""},
  };
  for (const NameCase& c : cases) {
    EXPECT_EQ(ScmSim::KindOf(c.code), c.kind) << std::hex << c.code;
    EXPECT_EQ(ScmSim::EventCodeName(c.code), c.name) << std::hex << c.code;
  }
}

TEST(HostEventsTest, DescribesSnFailWithSadrGroupAndCode) {
  const EventRecord r{1, 0x6200AF40u, 0, 0x01040003u};
  EXPECT_EQ(ScmSim::DescribeEvent(r), "level 1 0x6200AF40 SN FAIL: SADR 3 group 4 code 1");
  const auto s = ScmSim::DecodeSnFail(0xFF05FFFEu);
  EXPECT_EQ(s.sadr, 0xFFFE);
  EXPECT_EQ(s.group, 5);
  EXPECT_EQ(s.code, 0xFF);
}

TEST(HostEventsTest, UnknownCodesShowInHex) {
  const EventRecord r{2, 0x12345678u, 0xBEEF, 0xCAFE0001u};
  EXPECT_EQ(ScmSim::DescribeEvent(r),
            "level 2 0x12345678 (unknown code): information0 0xBEEF information1 0xCAFE0001");
}

TEST(HostEventsTest, DescribesTheOverflowEvent) {
  const EventRecord r{2, 0x62108580u, 0xAF40, 77};
  EXPECT_EQ(ScmSim::DescribeEvent(r),
            "level 2 0x62108580 event queue full: an event was lost: lost code ending 0xAF40, 77 events so far");
}

}  // namespace
