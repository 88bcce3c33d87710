// Table rows for the inspection tests: a row is a small installed domain
// (SADRs 5 and 6 required, each with an acknowledged UDID, a required identity
// with an acknowledged minor revision and a required checksum), an optional
// change to it, and a message sequence whose every step states its outcome.
#pragma once
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "InspectionFixture.h"

namespace InspectTest {

/// The domain's values (plain).
extern const Udid kUdid5;          ///< UDID acknowledged for SADR 5
extern const Udid kUdid6;          ///< UDID acknowledged for SADR 6
extern const Udid kUdidOther;      ///< a UDID acknowledged nowhere
constexpr u32 kVendorId = 0x0000ABCD;    ///< required vendor id
constexpr u32 kProductCode = 0x00001234; ///< required product code
constexpr u16 kMajor = 2;                ///< required major revision
constexpr u16 kMinorRequired = 5;        ///< lowest minor revision allowed
constexpr u16 kMinorAcknowledged = 7;    ///< acknowledged minor revision
extern const Bytes kChecksum5;     ///< required checksum of SADR 5 (8 bytes)
extern const Bytes kChecksum6;     ///< required checksum of SADR 6 (4 bytes)

/// One message and its outcome.
struct Step {
  std::string what;                              ///< shown on failure
  std::function<Outcome(Inspection&)> act;       ///< sends the message
  Outcome expected = kAccepted;                  ///< 0xE200 rows compare the code only
};

struct Row {
  std::string name;                              ///< shown on failure
  std::function<void(Inspection&)> change;       ///< changes the domain before Initialize (may be empty)
  std::vector<Step> steps;                       ///< in order
  bool validAfter = true;                        ///< IsValid at the end
  std::function<void(Inspection&)> verify = nullptr;  ///< further checks at the end (may be empty)
};

/// Installs the domain's streams.
void InstallDomain(Inspection& inspection);
/// Runs each row on a fresh inspection.
void RunRows(const std::vector<Row>& rows);

// ---- steps ----
Step Sent(const std::string& what, FrameSpec fields, Outcome expected = kAccepted);
Step Received(const std::string& what, FrameSpec fields, Outcome expected = kAccepted);
Step EventStep(const std::string& what, u16 information0, u32 information1, Outcome expected = kAccepted);
Step CommandStep(const std::string& what, TestFrames::CommandSpec fields, Outcome expected = kAccepted);
/// A step that runs any action on the inspection.
Step Do(const std::string& what, std::function<void(Inspection&)> action, Outcome expected = kAccepted);

/// Assignment of sadr and the node's answer with udid.
std::vector<Step> Assign(u16 sadr, const Udid& udid);
/// The three identity uploads (vendor, product, revision) answered by the node, CTs from ct.
std::vector<Step> Identify(u16 sadr, u32 vendorId, u32 productCode, u32 revision, u16 ct = 100);
/// The node's expedited answer with its checksum.
std::vector<Step> UploadChecksum(u16 sadr, const Bytes& checksum, u16 ct = 110);
/// Assignment, identity and checksum of a node that matches the domain.
std::vector<Step> Introduce(u16 sadr);
/// Steps joined.
std::vector<Step> Join(std::initializer_list<std::vector<Step>> parts);

/// End check of an acknowledgement: the sink got exactly these entries between one
/// open and close of its writer, and the callback ran after the close ("udid" or "minor").
template <typename Sink, typename Entry>
std::function<void(Inspection&)> ExpectWritten(Sink Inspection::*sink, std::vector<Entry> expected,
                                               const std::string& name) {
  return [sink, expected, name](Inspection& i) {
    EXPECT_EQ((i.*sink).written, expected);
    EXPECT_EQ(i.log, (std::vector<std::string>{name + " writer open", name + " writer close", name + " callback"}));
  };
}
/// End check: the writer was never opened and nothing was logged.
template <typename Sink>
std::function<void(Inspection&)> ExpectNothingWritten(Sink Inspection::*sink) {
  return [sink](Inspection& i) {
    EXPECT_EQ((i.*sink).opens, 0);
    EXPECT_TRUE(i.log.empty());
  };
}

/// An enter command with the data word and password.
TestFrames::CommandSpec EnterCommand(u16 data, const Password& password = {});
/// Revision number of a major and minor.
constexpr u32 Revision(u16 major, u16 minor) { return (static_cast<u32>(major) << 16) | minor; }

}  // namespace InspectTest
