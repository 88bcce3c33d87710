#include "InspectionFixture.h"

#include <cstdio>
#include <cstring>

#include "ConversationFrames.h"
#include "ErrorCodes.h"

namespace InspectTest {

const Udid kScmUdid = {0x02, 0x5C, 0x3E, 0x10, 0x20, 0x31};

std::string Describe(const Outcome& outcome) {
  char text[64];
  std::snprintf(text, sizeof(text), "code 0x%04X i0 %u i1 0x%X", outcome.code, outcome.i0, outcome.i1);
  return text;
}

Outcome OutcomeOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const Util::CException& e) {
    return Outcome{e.GetCode(), e.GetInformation0(), e.GetInformation1()};
  }
  return kAccepted;
}

// ---- streams ----

template <typename Entry>
void StreamScript<Entry>::Open() {
  if (open) {
    throw Util::CException(Util::ErrorCodes::ms_InternalError);
  }
  open = true;
  position = 0;
  ++opens;
}

template <typename Entry>
const Entry* StreamScript<Entry>::Next() {
  if (!open) {
    throw Util::CException(Util::ErrorCodes::ms_InternalError);
  }
  if (reads++ == throwAtRead) {
    throw Util::CException(Util::ErrorCodes::ms_EntrySafetyAddress, 0x4242);
  }
  return position < entries.size() ? &entries[position++] : nullptr;
}

template <typename Entry>
void StreamScript<Entry>::Close() {
  if (!open) {
    throw Util::CException(Util::ErrorCodes::ms_InternalError);
  }
  open = false;
  ++closes;
}

template struct StreamScript<u16>;
template struct StreamScript<UdidEntry>;
template struct StreamScript<FirmwareEntry>;
template struct StreamScript<MinorEntry>;
template struct StreamScript<ChecksumEntry>;

bool SadrStream::TryReadNext(u16& sadr) {
  const u16* entry = script.Next();
  if (entry == nullptr) {
    return false;
  }
  sadr = *entry;
  return true;
}

bool UdidStream::TryReadNext(u16& sadr, const u8*& udid) {
  const UdidEntry* entry = script.Next();
  if (entry == nullptr) {
    return false;
  }
  sadr = entry->sadr;
  udid = entry->udid.data();
  return true;
}

void UdidSink::Open() {
  written.clear();
  ++opens;
  if (log != nullptr) {
    log->push_back("udid writer open");
  }
}

void UdidSink::WriteNext(u16 sadr, const u8* udid) {
  UdidEntry entry{sadr, {}};
  std::memcpy(entry.udid.data(), udid, entry.udid.size());
  written.push_back(entry);
}

void UdidSink::Close() {
  ++closes;
  if (log != nullptr) {
    log->push_back("udid writer close");
  }
}

bool FirmwareStream::TryReadNext(u16& sadr, u32& vendorId, u32& productCode, u16& high, u16& low) {
  const FirmwareEntry* entry = script.Next();
  if (entry == nullptr) {
    return false;
  }
  sadr = entry->sadr;
  vendorId = entry->vendorId;
  productCode = entry->productCode;
  high = entry->major;
  low = entry->minor;
  return true;
}

bool MinorStream::TryReadNext(u16& sadr, u16& minor) {
  const MinorEntry* entry = script.Next();
  if (entry == nullptr) {
    return false;
  }
  sadr = entry->sadr;
  minor = entry->minor;
  return true;
}

void MinorSink::Open() {
  written.clear();
  ++opens;
  if (log != nullptr) {
    log->push_back("minor writer open");
  }
}

void MinorSink::WriteNext(u16 sadr, u16 minor) { written.push_back(MinorEntry{sadr, minor}); }

void MinorSink::Close() {
  ++closes;
  if (log != nullptr) {
    log->push_back("minor writer close");
  }
}

bool ChecksumStream::TryReadNext(u16& sadr, u32& length, const u8*& checksum) {
  const ChecksumEntry* entry = script.Next();
  if (entry == nullptr) {
    return false;
  }
  sadr = entry->sadr;
  length = entry->length;
  checksum = entry->checksum.data();
  return true;
}

// ---- surroundings ----

void Surroundings::Acknowledge() {
  acknowledged = true;
  ++corvaneAcknowledgements;
}

void Surroundings::SetSetupModeActive(bool active) {
  setupMode = active;
  setupModeSets.push_back(active);
}

bool Surroundings::HasPassword() const { return storedInverted.has_value(); }

bool Surroundings::IsValidInvertedPassword(const u8* invertedPassword) const {
  if (invertedPassword == nullptr) {
    throw Util::CException(Util::ErrorCodes::ms_InternalError);
  }
  return !storedInverted || std::memcmp(storedInverted->data(), invertedPassword, storedInverted->size()) == 0;
}

void Surroundings::SetInvertedPassword(const u8* invertedPassword) {
  Password p{};
  std::memcpy(p.data(), invertedPassword, p.size());
  passwordsSet.push_back(p);
  bool none = true;
  for (u8 b : p) {
    none = none && b == 0xFF;
  }
  // All-zero plain bytes count as no password.
  storedInverted = none ? std::nullopt : std::optional<Password>(p);
}

void Surroundings::WriteAcknowledgedInvertedUdids() {
  if (log != nullptr) {
    log->push_back("udid callback");
  }
}

void Surroundings::WriteAcknowledgedInvertedMinorRevisions() {
  if (log != nullptr) {
    log->push_back("minor callback");
  }
}

void Surroundings::InspectReceivedFrame(const Frame::CDecodedFrame&) { ++additionalReceived; }

void Surroundings::InspectSentFrame(const Frame::CDecodedFrame&) {
  if (additionalSent++ == additionalThrowsAt) {
    throw Util::CException(0xE2ED, 1, 2);
  }
}

// ---- the inspection ----

Inspection::Inspection() {
  udidSink.log = &log;
  minorSink.log = &log;
  surroundings.log = &log;
  udidChecker = std::make_unique<Check::CPersistentUdidChecker>(required, acknowledgedUdids, udidSink, surroundings);
  firmwareChecker =
      std::make_unique<Check::CPersistentFirmwareChecker>(requiredFirmware, acknowledgedMinors, minorSink, surroundings);
  parameterChecker = std::make_unique<Check::CPersistentParameterChecker>(requiredChecksums);
  udidInspector = std::make_unique<Check::CCheckingUdidInspector>(*udidChecker, surroundings);
  firmwareInspector = std::make_unique<Check::CCheckingFirmwareInspector>(*firmwareChecker, surroundings);
  parameterInspector = std::make_unique<Check::CCheckingParameterInspector>(*parameterChecker);
  inspector = std::make_unique<Main::CDefaultInspector>(surroundings, surroundings, surroundings, *udidInspector,
                                                        *firmwareInspector, *parameterInspector, surroundings);
}

void Inspection::Initialize() {
  udidChecker->Initialize();
  firmwareChecker->Initialize();
  parameterChecker->Initialize();
}

Outcome Inspection::Sent(const FrameSpec& fields) {
  const Bytes plain = TestFrames::BuildFrame(fields);
  m_LastBuffer = Complement(plain);
  return OutcomeOf([&] {
    const Frame::CDecodedFrame* frame =
        m_FrameDecoder.GetDecodedFrame(static_cast<u16>(plain.size()), plain.data(), kScmUdid.data());
    inspector->InspectSentFrame(*frame, static_cast<u16>(m_LastBuffer.size()), m_LastBuffer.data());
    if (m_LastBuffer != plain) {
      throw Util::CException(Util::ErrorCodes::ms_CheckBitsMissing);
    }
  });
}

Outcome Inspection::Received(const FrameSpec& fields) {
  const Bytes plain = TestFrames::BuildFrame(fields);
  return OutcomeOf([&] {
    const Frame::CDecodedFrame* frame =
        m_FrameDecoder.GetDecodedFrame(static_cast<u16>(plain.size()), plain.data(), kScmUdid.data());
    inspector->InspectReceivedFrame(*frame);
  });
}

Outcome Inspection::Event(u8 level, u32 code, u16 information0, u32 information1) {
  const Bytes event = TestFrames::BuildEvent(level, code, information0, information1);
  return OutcomeOf([&] {
    inspector->InspectEvent(*m_EventDecoder.GetDecodedEvent(static_cast<u8>(event.size()), event.data()));
  });
}

Outcome Inspection::Command(const TestFrames::CommandSpec& fields) {
  const Bytes command = TestFrames::BuildCommand(fields);
  return OutcomeOf([&] {
    inspector->InspectCommand(*m_CommandDecoder.GetDecodedCommand(static_cast<u8>(command.size()), command.data()));
  });
}

// ---- frames ----

namespace {
const ScmTest::ConversationFrames kFrames(kSdn, kScmSadr, kScmUdid);  ///< this domain's conversation
}  // namespace

FrameSpec AssignSadr(u16 sadr, const Udid& udid) { return kFrames.AssignSadr(sadr, udid); }
FrameSpec SadrAssigned(u16 sadr, const Udid& udid) { return kFrames.SadrAssigned(sadr, udid); }
FrameSpec ResponseUdid(u16 sadr, const Udid& udid) { return kFrames.ResponseUdid(sadr, udid); }
FrameSpec SetToOp(u16 sadr) { return kFrames.SetToOp(sadr); }
FrameSpec SnFail(u16 sadr, u8 group, u8 code) { return kFrames.SnFail(sadr, group, code); }
FrameSpec SnAck(u16 sadr, u8 group, u8 code) { return kFrames.SnAck(sadr, group, code); }
FrameSpec UploadExpedited(u16 sadr, u16 index, u8 subIndex, const Bytes& data, u16 ct) {
  return kFrames.UploadExpedited(sadr, index, subIndex, data, ct);
}
FrameSpec UploadInitiateSegmented(u16 sadr, u16 index, u8 subIndex, u32 total, const Bytes& data, u16 ct) {
  return kFrames.UploadInitiateSegmented(sadr, index, subIndex, total, data, ct);
}
FrameSpec UploadMiddle(u16 sadr, const Bytes& data, u16 ct) { return kFrames.UploadMiddle(sadr, data, ct); }
FrameSpec UploadEnd(u16 sadr, const Bytes& data, u16 ct) { return kFrames.UploadEnd(sadr, data, ct); }
FrameSpec DownloadExpedited(u16 sadr, u16 index, u8 subIndex, const Bytes& data, u16 ct) {
  return kFrames.DownloadExpedited(sadr, index, subIndex, data, ct);
}
FrameSpec DownloadInitiateSegmented(u16 sadr, u16 index, u8 subIndex, u32 total, const Bytes& data, u16 ct) {
  return kFrames.DownloadInitiateSegmented(sadr, index, subIndex, total, data, ct);
}
FrameSpec DownloadMiddle(u16 sadr, const Bytes& data, u16 ct) { return kFrames.DownloadMiddle(sadr, data, ct); }
FrameSpec DownloadEnd(u16 sadr, const Bytes& data, u16 ct) { return kFrames.DownloadEnd(sadr, data, ct); }
Bytes U32(u32 value) { return ScmTest::ConversationFrames::U32(value); }
Bytes Record(u16 index, u8 subIndex, const Bytes& data) { return ScmTest::ConversationFrames::Record(index, subIndex, data); }
Bytes Complement(const Bytes& bytes) { return ScmTest::ConversationFrames::Complement(bytes); }
Udid Complement(const Udid& udid) { return ScmTest::ConversationFrames::Complement(udid); }

}  // namespace InspectTest
