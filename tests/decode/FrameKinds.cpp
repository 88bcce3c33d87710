#include "FrameKinds.h"

#include "Frame/CFrameDecoder.h"

namespace DecodeTest {

const TestFrames::Udid kScmUdid = {0x02, 0x5C, 0x3E, 0xA1, 0xB2, 0xC4};

const std::vector<FrameKind>& FrameKinds() {
  using G = FrameKind;
  static const std::vector<FrameKind> kinds = {
      {"SnmtAssignSadr", 1, 0x2A, 0, {}, 6, false, G::Udid0},
      {"SnmtAssignUdidScm", 2, 0x2C, 0, {0x0E}, 7, false, G::ScmUdid1},
      {"SnmtResponseUdid", 3, 0x29, 0, {}, 6, true, G::Udid0},
      {"SnmtSadrAssigned", 4, 0x2B, 0, {}, 6, true, G::Udid0},
      {"SnmtSnSetToOp", 5, 0x2C, 0, {0x02}, 1, false, G::AddressOnly},
      {"SnmtSnFail", 6, 0x2D, 0, {0x07}, 3, true, G::Error},
      {"SnmtSnAck", 7, 0x2C, 0, {0x0C}, 3, false, G::Error},
      {"UploadInitiateExpedited", 8, 0x39, 0x3B, {0x20}, 4, true, G::Initiate},
      {"UploadInitiateSegmented", 9, 0x39, 0x3B, {0x28, 0x2A}, 8, true, G::Initiate},
      {"UploadMiddleSegment", 10, 0x39, 0x3B, {0x08, 0x18, 0x0A, 0x1A}, 1, true, G::Segment},
      {"UploadEndSegment", 11, 0x39, 0x3B, {0x48, 0x58, 0x4A, 0x5A}, 1, true, G::Segment},
      {"DownloadInitiateExpedited", 12, 0x38, 0x3A, {0x21}, 4, false, G::Initiate},
      {"DownloadInitiateSegmented", 13, 0x38, 0x3A, {0x29, 0x2B}, 8, false, G::Initiate},
      {"DownloadMiddleSegment", 14, 0x38, 0x3A, {0x09, 0x19, 0x0B, 0x1B}, 1, false, G::Segment},
      {"DownloadEndSegment", 15, 0x38, 0x3A, {0x49, 0x59, 0x4B, 0x5B}, 1, false, G::Segment},
  };
  return kinds;
}

TestFrames::FrameSpec KindSpec(const FrameKind& kind, std::size_t le, bool slim, std::size_t variant) {
  TestFrames::FrameSpec fields;
  fields.id = slim && kind.slimId != 0 ? kind.slimId : kind.basicId;
  fields.adr = 0x2C5;
  fields.sdn = 0x133;
  fields.ct = 0x9A7E;
  fields.tadr = 0x1F1;
  fields.tr = 0x2D;
  fields.payload.resize(le);
  for (std::size_t i = 0; i < le; ++i) {
    fields.payload[i] = static_cast<u8>(0x61 + 7 * i);
  }
  if (le > 0 && !kind.services.empty()) {
    fields.payload[0] = kind.services[variant % kind.services.size()];
  }
  return TestFrames::WithFirmwareCoding(fields, kScmUdid);
}

int Seen::total() const {
  int n = 0;
  for (int c : calls) {
    n += c;
  }
  return n;
}

namespace {

template <typename F>
void Udid(Seen& s, int op, const F& f) {
  ++s.calls[op];
  s.udid = f.GetUdid();
  s.safetyAddress = f.GetSafetyAddress();
}

template <typename F>
void Error(Seen& s, int op, const F& f) {
  ++s.calls[op];
  s.errorGroup = f.GetErrorGroup();
  s.errorCode = f.GetErrorCode();
  s.safetyAddress = f.GetSafetyAddress();
}

template <typename F>
void Initiate(Seen& s, int op, const F& f) {
  ++s.calls[op];
  s.index = f.GetIndex();
  s.subIndex = f.GetSubIndex();
  s.data = f.GetParameterData();
  s.dataLength = f.GetParameterDataLength();
  s.safetyAddress = f.GetSafetyAddress();
}

template <typename F>
void Segment(Seen& s, int op, const F& f) {
  ++s.calls[op];
  s.data = f.GetParameterData();
  s.dataLength = f.GetParameterDataLength();
  s.safetyAddress = f.GetSafetyAddress();
}

}  // namespace

using namespace Frame;

void RecordingFrameVisitor::VisitSnmtAssignSadr(const CDecodedSnmtAssignSadr& f) { Udid(seen, 1, f); }
void RecordingFrameVisitor::VisitSnmtAssignUdidScm(const CDecodedSnmtAssignUdidScm& f) {
  ++seen.calls[2];
  seen.udid = f.GetScmUdid();
}
void RecordingFrameVisitor::VisitSnmtResponseUdid(const CDecodedSnmtResponseUdid& f) { Udid(seen, 3, f); }
void RecordingFrameVisitor::VisitSnmtSadrAssigned(const CDecodedSnmtSadrAssigned& f) { Udid(seen, 4, f); }
void RecordingFrameVisitor::VisitSnmtSnSetToOp(const CDecodedSnmtSnSetToOp& f) {
  ++seen.calls[5];
  seen.safetyAddress = f.GetSafetyAddress();
}
void RecordingFrameVisitor::VisitSnmtSnFail(const CDecodedSnmtSnFail& f) { Error(seen, 6, f); }
void RecordingFrameVisitor::VisitSnmtSnAck(const CDecodedSnmtSnAck& f) { Error(seen, 7, f); }
void RecordingFrameVisitor::VisitSsdoUploadInitiateExpeditedResponse(
    const CDecodedSsdoUploadInitiateExpeditedResponse& f) {
  Initiate(seen, 8, f);
}
void RecordingFrameVisitor::VisitSsdoUploadInitiateSegmentedResponse(
    const CDecodedSsdoUploadInitiateSegmentedResponse& f) {
  Initiate(seen, 9, f);
}
void RecordingFrameVisitor::VisitSsdoUploadMiddleSegmentResponse(const CDecodedSsdoUploadMiddleSegmentResponse& f) {
  Segment(seen, 10, f);
}
void RecordingFrameVisitor::VisitSsdoUploadEndSegmentResponse(const CDecodedSsdoUploadEndSegmentResponse& f) {
  Segment(seen, 11, f);
}
void RecordingFrameVisitor::VisitSsdoDownloadInitiateExpeditedRequest(
    const CDecodedSsdoDownloadInitiateExpeditedRequest& f) {
  Initiate(seen, 12, f);
}
void RecordingFrameVisitor::VisitSsdoDownloadInitiateSegmentedRequest(
    const CDecodedSsdoDownloadInitiateSegmentedRequest& f) {
  Initiate(seen, 13, f);
}
void RecordingFrameVisitor::VisitSsdoDownloadMiddleSegmentRequest(const CDecodedSsdoDownloadMiddleSegmentRequest& f) {
  Segment(seen, 14, f);
}
void RecordingFrameVisitor::VisitSsdoDownloadEndSegmentRequest(const CDecodedSsdoDownloadEndSegmentRequest& f) {
  Segment(seen, 15, f);
}

}  // namespace DecodeTest
