#include "InspectionRows.h"

#include <gtest/gtest.h>

namespace InspectTest {

const Udid kUdid5 = {0x00, 0x11, 0x22, 0x33, 0x44, 0x05};
const Udid kUdid6 = {0x00, 0x11, 0x22, 0x33, 0x44, 0x06};
const Udid kUdidOther = {0x00, 0x11, 0x22, 0x33, 0x44, 0x99};
const Bytes kChecksum5 = {0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88};
const Bytes kChecksum6 = {0xA1, 0xB2, 0xC3, 0xD4};

void InstallDomain(Inspection& inspection) {
  inspection.required.script.entries = {5, 6};
  inspection.acknowledgedUdids.script.entries = {{5, Complement(kUdid5)}, {6, Complement(kUdid6)}};
  for (u16 sadr : {5, 6}) {
    inspection.requiredFirmware.script.entries.push_back(
        {sadr, ~kVendorId, ~kProductCode, static_cast<u16>(~kMajor), static_cast<u16>(~kMinorRequired)});
    inspection.acknowledgedMinors.script.entries.push_back({sadr, static_cast<u16>(~kMinorAcknowledged)});
  }
  inspection.requiredChecksums.script.entries = {{5, 8, Complement(kChecksum5)}, {6, 4, Complement(kChecksum6)}};
}

void RunRows(const std::vector<Row>& rows) {
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    auto inspection = std::make_unique<Inspection>();
    InstallDomain(*inspection);
    if (row.change) {
      row.change(*inspection);
    }
    inspection->Initialize();
    for (std::size_t k = 0; k < row.steps.size(); ++k) {
      const Step& step = row.steps[k];
      const Outcome got = step.act(*inspection);
      if (step.expected.code == kInternal) {
        EXPECT_EQ(got.code, kInternal) << "step " << k << " " << step.what << ": " << Describe(got);
      } else {
        EXPECT_EQ(got, step.expected) << "step " << k << " " << step.what << ": got " << Describe(got) << ", expected "
                                      << Describe(step.expected);
      }
    }
    EXPECT_EQ(inspection->inspector->IsValid(), row.validAfter);
    if (row.verify) {
      row.verify(*inspection);
    }
  }
}

Step Sent(const std::string& what, FrameSpec fields, Outcome expected) {
  return Step{"sent " + what, [fields](Inspection& i) { return i.Sent(fields); }, expected};
}

Step Received(const std::string& what, FrameSpec fields, Outcome expected) {
  return Step{"received " + what, [fields](Inspection& i) { return i.Received(fields); }, expected};
}

Step EventStep(const std::string& what, u16 information0, u32 information1, Outcome expected) {
  return Step{"event " + what,
              [information0, information1](Inspection& i) { return i.Event(1, 0x6200C095, information0, information1); },
              expected};
}

Step CommandStep(const std::string& what, TestFrames::CommandSpec fields, Outcome expected) {
  return Step{"command " + what, [fields](Inspection& i) { return i.Command(fields); }, expected};
}

Step Do(const std::string& what, std::function<void(Inspection&)> action, Outcome expected) {
  return Step{what, [action](Inspection& i) { return OutcomeOf([&] { action(i); }); }, expected};
}

std::vector<Step> Assign(u16 sadr, const Udid& udid) {
  return {Sent("assign " + std::to_string(sadr), AssignSadr(sadr, udid)),
          Received("SADR assigned " + std::to_string(sadr), SadrAssigned(sadr, udid))};
}

std::vector<Step> Identify(u16 sadr, u32 vendorId, u32 productCode, u32 revision, u16 ct) {
  return {Received("vendor id", UploadExpedited(sadr, 0x1018, 1, U32(vendorId), ct)),
          Received("product code", UploadExpedited(sadr, 0x1018, 2, U32(productCode), static_cast<u16>(ct + 1))),
          Received("revision", UploadExpedited(sadr, 0x1018, 3, U32(revision), static_cast<u16>(ct + 2)))};
}

std::vector<Step> UploadChecksum(u16 sadr, const Bytes& checksum, u16 ct) {
  return {Received("checksum", UploadExpedited(sadr, 0x1018, 6, checksum, ct))};
}

std::vector<Step> Introduce(u16 sadr) {
  return Join({Assign(sadr, sadr == 5 ? kUdid5 : kUdid6),
               Identify(sadr, kVendorId, kProductCode, Revision(kMajor, kMinorAcknowledged)),
               UploadChecksum(sadr, sadr == 5 ? kChecksum5 : kChecksum6)});
}

std::vector<Step> Join(std::initializer_list<std::vector<Step>> parts) {
  std::vector<Step> all;
  for (const auto& part : parts) {
    all.insert(all.end(), part.begin(), part.end());
  }
  return all;
}

TestFrames::CommandSpec EnterCommand(u16 data, const Password& password) {
  TestFrames::CommandSpec fields;
  fields.code = data;
  fields.password = password;
  return fields;
}

}  // namespace InspectTest
