// The parameter-checksum check through the dispatching inspector: uploads and
// downloads of the checksum, the record scan across segments, repeated,
// resent and stray segments, and the refusals with their module flags.
#include <gtest/gtest.h>

#include "InspectionRows.h"

namespace InspectTest {
namespace {

constexpr u16 kSetCt = 200;  ///< CTs of the download sequences below start here

Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& part : parts) {
    all.insert(all.end(), part.begin(), part.end());
  }
  return all;
}

Bytes Slice(const Bytes& bytes, std::size_t from, std::size_t count) {
  return Bytes(bytes.begin() + static_cast<long>(from), bytes.begin() + static_cast<long>(from + count));
}

/// A parameter set of SADR 5: one record before, the checksum record, one after.
Bytes ParameterSet(const Bytes& checksum) {
  return Concat({Record(0x2000, 1, {0xA0, 0xA1, 0xA2, 0xA3, 0xA4}), Record(0x1018, 6, checksum),
                 Record(0x3000, 2, {0xB0, 0xB1})});
}

/// Assignment and identity of 5, without the checksum.
std::vector<Step> Prepare5() {
  return Join({Assign(5, kUdid5), Identify(5, kVendorId, kProductCode, Revision(kMajor, kMinorAcknowledged))});
}

/// The set downloaded segmented: initiate with the first cut bytes, then middle segments of the given sizes, then the rest.
std::vector<Step> DownloadSegmented(const Bytes& set, std::initializer_list<std::size_t> cuts, u16 ct = kSetCt) {
  std::vector<Step> steps;
  std::size_t at = 0;
  bool first = true;
  for (std::size_t cut : cuts) {
    if (first) {
      steps.push_back(Sent("initiate", DownloadInitiateSegmented(5, 0x101A, 0, static_cast<u32>(set.size()),
                                                                 Slice(set, 0, cut), ct)));
      first = false;
    } else {
      steps.push_back(Sent("middle", DownloadMiddle(5, Slice(set, at, cut), ct)));
    }
    at += cut;
    ct = static_cast<u16>(ct == 0xFFFF ? 1 : ct + 1);
  }
  steps.push_back(Sent("end", DownloadEnd(5, Slice(set, at, set.size() - at), ct)));
  return steps;
}

const Outcome kRefused5Flags(u32 flags) { return Outcome{0xE2E6, 5, flags}; }

TEST(ParameterInspection, ChecksumUploadsAndDownloads) {
  const Bytes set = ParameterSet(kChecksum5);  // 12 + 15 + 9 bytes; checksum data at 19..26
  const Bytes wrong = {0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x89};
  RunRows({
      {"expedited upload equal to the required checksum", {}, Join({Introduce(5), {Sent("op", SetToOp(5))}})},
      {"expedited upload of another checksum",
       {},
       Join({Prepare5(), UploadChecksum(5, wrong), {Sent("op", SetToOp(5), kRefused5Flags(0x03))}}),
       false},
      {"no checksum seen since the assignment",
       {},
       Join({Prepare5(), {Sent("op", SetToOp(5), kRefused5Flags(0x01))}}),
       false},
      {"segmented upload 4 + 2 + 2",
       {},
       Join({Prepare5(),
             {Received("initiate", UploadInitiateSegmented(5, 0x1018, 6, 8, Slice(kChecksum5, 0, 4), 50)),
              Received("middle", UploadMiddle(5, Slice(kChecksum5, 4, 2), 51)),
              Received("middle repeated", UploadMiddle(5, Slice(kChecksum5, 4, 2), 51)),
              Received("stray middle", UploadMiddle(5, {0xEE, 0xEE}, 60)),
              Received("end", UploadEnd(5, Slice(kChecksum5, 6, 2), 52)), Sent("op", SetToOp(5))}})},
      {"upload segments without an initiate are not taken",
       {},
       Join({Prepare5(),
             {Received("middle", UploadMiddle(5, Slice(kChecksum5, 0, 4), 51)),
              Received("end", UploadEnd(5, Slice(kChecksum5, 4, 4), 52)),
              Sent("op", SetToOp(5), kRefused5Flags(0x01))}}),
       false},
      {"an uploaded checksum crossing 256 bytes",
       {},
       Join({Prepare5(),
             {Received("initiate", UploadInitiateSegmented(5, 0x1018, 6, 260, Bytes(200, 0x5A), 50)),
              Received("middle to 256", UploadMiddle(5, Bytes(56, 0x5A), 51)),
              Received("middle beyond", UploadMiddle(5, Bytes(4, 0x5A), 52), Outcome{0xE2E4, 5, 4})}})},
      {"a handed-over checksum of 6 bytes",
       {},
       Join({Prepare5(), {Received("checksum", UploadExpedited(5, 0x1018, 6, Bytes(6, 1), 50), Outcome{0xE2E5, 5, 6})}})},
      {"expedited download of a set with the checksum record",
       {},
       Join({Prepare5(), {Sent("download", DownloadExpedited(5, 0x101A, 0, Record(0x1018, 6, kChecksum5), 50)),
                          Sent("op", SetToOp(5))}})},
      {"checksum record straddling three segments",
       {},
       Join({Prepare5(), DownloadSegmented(set, {21, 3}), {Sent("op", SetToOp(5))}})},
      {"header split 3 + 4 across two segments",
       {},
       Join({Prepare5(), DownloadSegmented(set, {15, 10}), {Sent("op", SetToOp(5))}})},
      {"a zero-length record before the checksum record",
       {},
       Join({Prepare5(),
             {Sent("download", DownloadExpedited(5, 0x101A, 0,
                                                 Concat({Record(0x2000, 1, {}), Record(0x1018, 6, kChecksum5)}), 50)),
              Sent("op", SetToOp(5))}})},
      {"a zero-length checksum record for a required SADR",
       {},
       Join({Prepare5(), {Sent("download", DownloadExpedited(5, 0x101A, 0, Record(0x1018, 6, {}), 50)),
                          Sent("op", SetToOp(5), kRefused5Flags(0x03))}}),
       false},
      {"a wrong checksum downloaded",
       {},
       Join({Prepare5(), DownloadSegmented(ParameterSet(wrong), {21, 3}), {Sent("op", SetToOp(5), kRefused5Flags(0x03))}}),
       false},
      {"repeated download segment is scanned once",
       {},
       Join({Prepare5(),
             {Sent("initiate", DownloadInitiateSegmented(5, 0x101A, 0, 36, Slice(set, 0, 21), kSetCt)),
              Sent("middle", DownloadMiddle(5, Slice(set, 21, 3), kSetCt + 1)),
              Sent("middle repeated", DownloadMiddle(5, Slice(set, 21, 3), kSetCt + 1)),
              Sent("end", DownloadEnd(5, Slice(set, 24, 12), kSetCt + 2)), Sent("op", SetToOp(5))}})},
      {"segments resent after a repeat request keep their earlier CTs",
       {},
       Join({Prepare5(),
             {Sent("initiate", DownloadInitiateSegmented(5, 0x101A, 0, 36, Slice(set, 0, 15), kSetCt)),
              Sent("middle 1", DownloadMiddle(5, Slice(set, 15, 5), kSetCt + 1)),
              Sent("middle 2", DownloadMiddle(5, Slice(set, 20, 5), kSetCt + 2)),
              Sent("middle 1 resent", DownloadMiddle(5, Slice(set, 15, 5), kSetCt + 1)),
              Sent("middle 2 resent", DownloadMiddle(5, Slice(set, 20, 5), kSetCt + 2)),
              Sent("middle 3", DownloadMiddle(5, Slice(set, 25, 5), kSetCt + 3)),
              Sent("end", DownloadEnd(5, Slice(set, 30, 6), kSetCt + 4)), Sent("op", SetToOp(5))}})},
      {"a repeated initiate does not restart the scan",
       {},
       Join({Prepare5(),
             {Sent("initiate", DownloadInitiateSegmented(5, 0x101A, 0, 36, Slice(set, 0, 21), kSetCt)),
              Sent("middle", DownloadMiddle(5, Slice(set, 21, 3), kSetCt + 1)),
              Sent("initiate repeated", DownloadInitiateSegmented(5, 0x101A, 0, 36, Slice(set, 0, 21), kSetCt)),
              Sent("end", DownloadEnd(5, Slice(set, 24, 12), kSetCt + 2)), Sent("op", SetToOp(5))}})},
      {"stray download segments are ignored",
       {},
       Join({Prepare5(),
             {Sent("stray middle", DownloadMiddle(5, Record(0x1018, 6, kChecksum5), 7)),
              Sent("stray end", DownloadEnd(5, Record(0x1018, 6, kChecksum5), 8)),
              Sent("op", SetToOp(5), kRefused5Flags(0x01))}}),
       false},
      {"CTs wrap from 0xFFFF to 1", {}, Join({Prepare5(), DownloadSegmented(set, {21, 3}, 0xFFFE), {Sent("op", SetToOp(5))}})},
      {"downloads after an accepted set to operational are ignored",
       {},
       Join({Introduce(5),
             {Sent("op", SetToOp(5)),
              Sent("download", DownloadExpedited(5, 0x101A, 0, Record(0x1018, 6, wrong), 300)),
              Sent("op again", SetToOp(5))}})},
      {"a new assignment needs the checksum again",
       {},
       Join({Introduce(5), Assign(5, kUdid5), Identify(5, kVendorId, kProductCode, Revision(kMajor, kMinorAcknowledged)),
             {Sent("op", SetToOp(5), kRefused5Flags(0x07))}}),
       false},
      {"a download to another object is not scanned",
       {},
       Join({Prepare5(), {Sent("download", DownloadExpedited(5, 0x101B, 0, Record(0x1018, 6, kChecksum5), 50)),
                          Sent("op", SetToOp(5), kRefused5Flags(0x01))}}),
       false},
  });
}

// Decisions over the record scan: an oversized record is refused at its
// header, every initiate and assignment starts the scan afresh, the checksum
// of an unrequired SADR may be empty.
TEST(ParameterInspection, ScanDecisions) {
  const Bytes set = ParameterSet(kChecksum5);
  RunRows({
      {"a checksum record longer than 256 bytes is refused at its header",
       {},
       Join({Prepare5(), {Sent("initiate", DownloadInitiateSegmented(5, 0x101A, 0, 300,
                                                                     Concat({Record(0x2000, 1, {}), Slice(Record(0x1018, 6, Bytes(260, 1)), 0, 9)}),
                                                                     kSetCt),
                               Outcome{0xE2E5, 5, 260})}})},
      {"a checksum record of 6 bytes is refused at its header",
       {},
       Join({Prepare5(), {Sent("download", DownloadExpedited(5, 0x101A, 0, Slice(Record(0x1018, 6, Bytes(6, 1)), 0, 7), 50),
                               Outcome{0xE2E5, 5, 6})}})},
      {"an interrupted download does not carry into the next one",
       {},
       Join({Prepare5(),
             {Sent("initiate cut inside the checksum", DownloadInitiateSegmented(5, 0x101A, 0, 36, Slice(set, 0, 21), 30)),
              Sent("new initiate", DownloadInitiateSegmented(5, 0x101A, 0, 36, Slice(set, 0, 12), 40)),
              Sent("middle", DownloadMiddle(5, Slice(set, 12, 12), 41)),
              Sent("end", DownloadEnd(5, Slice(set, 24, 12), 42)), Sent("op", SetToOp(5))}})},
      {"an assignment clears a partial record",
       {},
       Join({Prepare5(),
             {Sent("initiate cut inside the checksum", DownloadInitiateSegmented(5, 0x101A, 0, 36, Slice(set, 0, 21), 30))},
             Prepare5(), {Sent("download", DownloadExpedited(5, 0x101A, 0, set, 50)), Sent("op", SetToOp(5))}})},
      {"a segmented initiate with CT 0 is taken",
       {},
       Join({Prepare5(), DownloadSegmented(set, {21, 3}, 0), {Sent("op", SetToOp(5))}})},
      {"an unrequired SADR with an empty checksum record is compatible",
       [](Inspection& i) { i.requiredChecksums.script.entries = {{5, 8, Complement(kChecksum5)}}; },
       Join({Introduce(6), {Sent("download", DownloadExpedited(6, 0x101A, 0, Record(0x1018, 6, {}), 50)),
                            Sent("op", SetToOp(6))}})},
  });
}

TEST(ParameterInspection, CheckerInitialize) {
  RunRows({
      {"a later entry overwrites an earlier one",
       [](Inspection& i) {
         i.requiredChecksums.script.entries = {{5, 4, Complement(Bytes{9, 9, 9, 9})}, {5, 8, Complement(kChecksum5)},
                                               {6, 4, Complement(kChecksum6)}};
       },
       Join({Introduce(5), {Sent("op", SetToOp(5))}})},
  });
  struct Case {
    const char* name;
    std::function<void(Inspection&)> change;
    Outcome expected;
  };
  const std::vector<Case> cases = {
      {"SADR 0", [](Inspection& i) { i.requiredChecksums.script.entries.push_back({0, 4, Bytes(4, 0)}); },
       Outcome{0xE2E3, 0, 0}},
      {"SADR 1024", [](Inspection& i) { i.requiredChecksums.script.entries.push_back({1024, 4, Bytes(4, 0)}); },
       Outcome{0xE2E3, 0, 1024}},
      {"length 0", [](Inspection& i) { i.requiredChecksums.script.entries.push_back({7, 0, Bytes(4, 0)}); },
       Outcome{0xE2E5, 7, 0}},
      {"length 6", [](Inspection& i) { i.requiredChecksums.script.entries.push_back({7, 6, Bytes(8, 0)}); },
       Outcome{0xE2E5, 7, 6}},
      {"length 260", [](Inspection& i) { i.requiredChecksums.script.entries.push_back({7, 260, Bytes(260, 0)}); },
       Outcome{0xE2E5, 7, 260}},
      {"stream error", [](Inspection& i) { i.requiredChecksums.script.throwAtRead = 1; }, Outcome{0xE2AE, 0, 0x4242}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto inspection = std::make_unique<Inspection>();
    InstallDomain(*inspection);
    c.change(*inspection);
    EXPECT_EQ(OutcomeOf([&] { inspection->parameterChecker->Initialize(); }), c.expected);
  }
  auto inspection = std::make_unique<Inspection>();
  InstallDomain(*inspection);
  EXPECT_EQ(OutcomeOf([&] { inspection->parameterChecker->IsValidModule(5); }).code, kInternal);
  inspection->parameterChecker->Initialize();
  EXPECT_EQ(inspection->requiredChecksums.script.closes, 1);
  EXPECT_EQ(OutcomeOf([&] { inspection->parameterChecker->Initialize(); }).code, kInternal);
  EXPECT_EQ(OutcomeOf([&] { inspection->parameterChecker->IsValidModule(1024); }), (Outcome{0xE2E3, 0, 1024}));
}

}  // namespace
}  // namespace InspectTest
