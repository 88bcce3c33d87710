// A checker's inspection assembled for unit tests: the real checking
// inspectors and persistent checkers behind the real dispatching inspector,
// the checkers reading small in-memory streams, and substitutes for the key
// medium, the password, the commissioners, the persistence callbacks and the
// additional-parameter check. Messages are built with sim/frames and decoded
// by the real decoders before they are inspected.
#pragma once
#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "CAuthentification.h"
#include "CCorvane.h"
#include "CCorvaneCommissioner.h"
#include "CDefaultInspector.h"
#include "CException.h"
#include "CInvertedFirmwareVersionReader.h"
#include "CInvertedMinorRevisionReader.h"
#include "CInvertedMinorRevisionWriter.h"
#include "CInvertedParameterChecksumReader.h"
#include "CInvertedUdidReader.h"
#include "CInvertedUdidWriter.h"
#include "CSafetyAddressReader.h"
#include "Check/CAdditionalParameterInspector.h"
#include "Check/CCheckingFirmwareInspector.h"
#include "Check/CCheckingParameterInspector.h"
#include "Check/CCheckingUdidInspector.h"
#include "Check/CFirmwareCommissioner.h"
#include "Check/CPersistentFirmwareChecker.h"
#include "Check/CPersistentFirmwareCheckerCallback.h"
#include "Check/CPersistentParameterChecker.h"
#include "Check/CPersistentUdidChecker.h"
#include "Check/CPersistentUdidCheckerCallback.h"
#include "Check/CUdidCommissioner.h"
#include "Event/CEventDecoder.h"
#include "Frame/CFrameDecoder.h"
#include "FrameBuilder.h"
#include "Hmi/CCommandDecoder.h"
#include "MessageBuilder.h"

namespace InspectTest {

using TestFrames::Bytes;
using TestFrames::FrameSpec;
using TestFrames::Udid;

constexpr u16 kSdn = 7;         ///< the test domain (tests/checker's default)
constexpr u16 kScmSadr = 1;     ///< SADR of the SCM itself
extern const Udid kScmUdid;     ///< the SCM UDID of the coded frames
using Password = std::array<u8, 16>;

/// Outcome of one step: accepted (code 0) or the exception's three fields.
struct Outcome {
  u16 code = 0;  ///< 0 accepted
  u16 i0 = 0;    ///< information0
  u32 i1 = 0;    ///< information1
  bool operator==(const Outcome&) const = default;
};
std::string Describe(const Outcome& outcome);
/// Accepted.
constexpr Outcome kAccepted{};
/// The internal-error code; its information fields vary with the source line.
constexpr u16 kInternal = 0xE200;

/// A stream of entries that throws at a chosen call.
template <typename Entry>
struct StreamScript {
  std::vector<Entry> entries;       ///< delivered in order
  int throwAtRead = -1;             ///< TryReadNext call (0-based) that throws 0xE2AE, -1 never
  int opens = 0;                    ///< Open calls
  int closes = 0;                   ///< Close calls
  bool open = false;                ///< between Open and Close
  std::size_t position = 0;         ///< next entry
  int reads = 0;                    ///< TryReadNext calls
  void Open();
  const Entry* Next();
  void Close();
};

struct UdidEntry {
  u16 sadr;     ///< plain SADR
  Udid udid;    ///< complemented UDID
  bool operator==(const UdidEntry&) const = default;
};
struct FirmwareEntry {
  u16 sadr;        ///< plain SADR
  u32 vendorId;    ///< complemented
  u32 productCode; ///< complemented
  u16 major;       ///< complemented
  u16 minor;       ///< complemented
};
struct MinorEntry {
  u16 sadr;   ///< plain SADR
  u16 minor;  ///< complemented
  bool operator==(const MinorEntry&) const = default;
};
struct ChecksumEntry {
  u16 sadr;           ///< plain SADR
  u32 length;         ///< bytes
  std::vector<u8> checksum;  ///< complemented
};

class SadrStream : public Param::CSafetyAddressReader {
 public:
  StreamScript<u16> script;  ///< required SADRs
  void Open() override { script.Open(); }
  bool TryReadNext(u16& sadr) override;
  void Close() override { script.Close(); }
};
class UdidStream : public Param::CInvertedUdidReader {
 public:
  StreamScript<UdidEntry> script;  ///< acknowledged UDIDs
  void Open() override { script.Open(); }
  bool TryReadNext(u16& sadr, const u8*& udid) override;
  void Close() override { script.Close(); }
};
class UdidSink : public Param::CInvertedUdidWriter {
 public:
  std::vector<UdidEntry> written;  ///< entries of the last Open..Close
  int opens = 0;                   ///< Open calls
  int closes = 0;                  ///< Close calls
  std::vector<std::string>* log = nullptr;  ///< shared call log
  void Open() override;
  void WriteNext(u16 sadr, const u8* udid) override;
  void Close() override;
  u32 GetContentLength() const override { return static_cast<u32>(written.size() * 8); }
};
class FirmwareStream : public Param::CInvertedFirmwareVersionReader {
 public:
  StreamScript<FirmwareEntry> script;  ///< required identities
  void Open() override { script.Open(); }
  bool TryReadNext(u16& sadr, u32& vendorId, u32& productCode, u16& high, u16& low) override;
  void Close() override { script.Close(); }
};
class MinorStream : public Param::CInvertedMinorRevisionReader {
 public:
  StreamScript<MinorEntry> script;  ///< acknowledged minor revisions
  void Open() override { script.Open(); }
  bool TryReadNext(u16& sadr, u16& minor) override;
  void Close() override { script.Close(); }
};
class MinorSink : public Param::CInvertedMinorRevisionWriter {
 public:
  std::vector<MinorEntry> written;  ///< entries of the last Open..Close
  int opens = 0;                    ///< Open calls
  int closes = 0;                   ///< Close calls
  std::vector<std::string>* log = nullptr;  ///< shared call log
  void Open() override;
  void WriteNext(u16 sadr, u16 minor) override;
  void Close() override;
  u32 GetContentLength() const override { return static_cast<u32>(written.size() * 4); }
};
class ChecksumStream : public Param::CInvertedParameterChecksumReader {
 public:
  StreamScript<ChecksumEntry> script;  ///< required checksums
  void Open() override { script.Open(); }
  bool TryReadNext(u16& sadr, u32& length, const u8*& checksum) override;
  void Close() override { script.Close(); }
};

/// Key medium, password, policies and persistence callbacks in one substitute.
class Surroundings : public Main::CCorvane,
                     public Main::CAuthentification,
                     public Main::CCorvaneCommissioner,
                     public Check::CUdidCommissioner,
                     public Check::CFirmwareCommissioner,
                     public Check::CPersistentUdidCheckerCallback,
                     public Check::CPersistentFirmwareCheckerCallback,
                     public Check::CAdditionalParameterInspector {
 public:
  bool acknowledged = true;              ///< key medium acknowledged
  bool setupMode = false;                ///< setup mode active
  std::optional<Password> storedInverted;  ///< stored password, complemented; none when empty
  std::vector<Password> passwordsSet;    ///< every SetInvertedPassword, complemented as given
  int corvaneAcknowledgements = 0;       ///< Acknowledge calls
  std::vector<bool> setupModeSets;       ///< every SetSetupModeActive
  bool manualCorvane = true;             ///< policy answers
  bool automaticCorvane = false;
  bool manualUdids = true;
  bool automaticUdids = false;
  bool manualFirmware = true;
  bool automaticFirmware = false;
  int additionalThrowsAt = -1;           ///< the additional check throws 0xE2ED on this sent frame (0-based)
  int additionalSent = 0;                ///< sent frames the additional check saw
  int additionalReceived = 0;            ///< received frames the additional check saw
  std::vector<std::string>* log = nullptr;  ///< shared call log

  void Acknowledge() override;
  bool IsAcknowledged() const override { return acknowledged; }
  bool IsSetupModeActive() const override { return setupMode; }
  void SetSetupModeActive(bool active) override;
  bool HasPassword() const override;
  bool IsValidInvertedPassword(const u8* invertedPassword) const override;
  void SetInvertedPassword(const u8* invertedPassword) override;
  bool CanManuallyAcknowledgeCorvane() const override { return manualCorvane; }
  bool CanAutomaticallyAcknowledgeCorvane() const override { return automaticCorvane; }
  bool CanManuallyAcknowledgeUdids() const override { return manualUdids; }
  bool CanAutomaticallyAcknowledgeUdids() const override { return automaticUdids; }
  bool CanManuallyAcknowledgeFirmware() const override { return manualFirmware; }
  bool CanAutomaticallyAcknowledgeFirmware() const override { return automaticFirmware; }
  void WriteAcknowledgedInvertedUdids() override;
  void WriteAcknowledgedInvertedMinorRevisions() override;
  void InspectReceivedFrame(const Frame::CDecodedFrame& frame) override;
  void InspectSentFrame(const Frame::CDecodedFrame& frame) override;
  bool IsValid() const override { return true; }
};

/// The whole inspection of one test row; heap-held since its tables are large.
class Inspection {
 public:
  Inspection();

  SadrStream required;         ///< node-list SADRs
  UdidStream acknowledgedUdids;
  UdidSink udidSink;
  FirmwareStream requiredFirmware;
  MinorStream acknowledgedMinors;
  MinorSink minorSink;
  ChecksumStream requiredChecksums;
  Surroundings surroundings;
  std::vector<std::string> log;  ///< writer and callback calls in order

  std::unique_ptr<Check::CPersistentUdidChecker> udidChecker;
  std::unique_ptr<Check::CPersistentFirmwareChecker> firmwareChecker;
  std::unique_ptr<Check::CPersistentParameterChecker> parameterChecker;
  std::unique_ptr<Check::CCheckingUdidInspector> udidInspector;
  std::unique_ptr<Check::CCheckingFirmwareInspector> firmwareInspector;
  std::unique_ptr<Check::CCheckingParameterInspector> parameterInspector;
  std::unique_ptr<Main::CDefaultInspector> inspector;

  /// Initialize of the three checkers, in start-up order.
  void Initialize();

  /// A frame the firmware sends: decoded, inspected with its complemented copy;
  /// on acceptance the copy must have become the plain frame.
  Outcome Sent(const FrameSpec& fields);
  /// A frame received from the network.
  Outcome Received(const FrameSpec& fields);
  /// An event from the firmware.
  Outcome Event(u8 level, u32 code, u16 information0, u32 information1);
  /// A command (after its successful status response).
  Outcome Command(const TestFrames::CommandSpec& fields);
  /// The last sent frame's buffer after inspection (complemented copy with the masks applied).
  const Bytes& LastSentBuffer() const { return m_LastBuffer; }

 private:
  Frame::CFrameDecoder m_FrameDecoder;
  Event::CEventDecoder m_EventDecoder;
  Hmi::CCommandDecoder m_CommandDecoder;
  Bytes m_LastBuffer;
};

/// Runs an action and returns its outcome.
Outcome OutcomeOf(const std::function<void()>& action);

// ---- frames of the conversation (firmware numbering: ADR/TADR as the stack fills them) ----
/// SCM assigns sadr to the node with this UDID.
FrameSpec AssignSadr(u16 sadr, const Udid& udid);
/// Node answers the assignment with its UDID.
FrameSpec SadrAssigned(u16 sadr, const Udid& udid);
/// Node answers a UDID request.
FrameSpec ResponseUdid(u16 sadr, const Udid& udid);
/// SCM sets sadr operational.
FrameSpec SetToOp(u16 sadr);
/// Node reports a failure.
FrameSpec SnFail(u16 sadr, u8 group, u8 code);
/// SCM acknowledges a node's failure.
FrameSpec SnAck(u16 sadr, u8 group, u8 code);
/// Node answers an upload expedited.
FrameSpec UploadExpedited(u16 sadr, u16 index, u8 subIndex, const Bytes& data, u16 ct);
/// Node answers an upload with a segmented initiate (total length first).
FrameSpec UploadInitiateSegmented(u16 sadr, u16 index, u8 subIndex, u32 total, const Bytes& data, u16 ct);
/// Node's upload middle segment.
FrameSpec UploadMiddle(u16 sadr, const Bytes& data, u16 ct);
/// Node's upload end segment.
FrameSpec UploadEnd(u16 sadr, const Bytes& data, u16 ct);
/// SCM's expedited download.
FrameSpec DownloadExpedited(u16 sadr, u16 index, u8 subIndex, const Bytes& data, u16 ct);
/// SCM's segmented download initiate (0x2B preload), total length first.
FrameSpec DownloadInitiateSegmented(u16 sadr, u16 index, u8 subIndex, u32 total, const Bytes& data, u16 ct);
/// SCM's download middle segment.
FrameSpec DownloadMiddle(u16 sadr, const Bytes& data, u16 ct);
/// SCM's download end segment.
FrameSpec DownloadEnd(u16 sadr, const Bytes& data, u16 ct);

/// Little-endian u32 bytes.
Bytes U32(u32 value);
/// One parameter record: u16 index, u8 sub-index, u32 length, data.
Bytes Record(u16 index, u8 subIndex, const Bytes& data);
/// Bytes complemented.
Bytes Complement(const Bytes& bytes);
/// UDID complemented.
Udid Complement(const Udid& udid);

}  // namespace InspectTest
