#include "DecoderDrivers.h"

#include <algorithm>
#include <initializer_list>
#include <string>
#include <vector>

#include "CException.h"
#include "ErrorCodes.h"
#include "Event/CDecodedEventVisitor.h"
#include "Event/CEventDecoder.h"
#include "Frame/CFrameDecoder.h"
#include "FrameKinds.h"
#include "Hmi/CCommandDecoder.h"
#include "Hmi/CDecodedCommandVisitor.h"
#include "Hmi/CDecodedResponseVisitor.h"
#include "Hmi/CResponseDecoder.h"

namespace DecodeTest {

namespace {

using Util::ErrorCodes;

[[noreturn]] void Violation(const std::string& what) { throw DriverViolation(what); }

void ExpectCodeIn(const Util::CException& e, std::initializer_list<u16> codes, const char* decoder) {
  if (std::find(codes.begin(), codes.end(), e.GetCode()) == codes.end()) {
    Violation(std::string(decoder) + " threw unexpected code " + std::to_string(e.GetCode()));
  }
}

/// Runs a getter block; any exception from it is a violation.
template <typename F>
void NeverThrows(const char* what, F&& f) {
  try {
    f();
  } catch (const Util::CException& e) {
    Violation(std::string(what) + " threw " + std::to_string(e.GetCode()));
  }
}

/// [begin, begin + count) must lie inside [low, high).
void Inside(const u8* p, std::size_t count, const u8* low, const u8* high, const char* what) {
  if (p < low || p > high || count > static_cast<std::size_t>(high - p)) {
    Violation(std::string(what) + " points outside its bounds");
  }
}

/// Reads every getter of every frame kind and checks the pointers against the payload.
class FrameProbe : public Frame::CDecodedFrameVisitor {
 public:
  FrameProbe(const u8* low, const u8* high) : m_Low(low), m_High(high) {}
  int calls = 0;  ///< operations called

  void VisitSnmtAssignSadr(const Frame::CDecodedSnmtAssignSadr& f) override { Udid(f); }
  void VisitSnmtAssignUdidScm(const Frame::CDecodedSnmtAssignUdidScm& f) override {
    ++calls;
    Inside(f.GetScmUdid(), 6, m_Low, m_High, "GetScmUdid");
  }
  void VisitSnmtResponseUdid(const Frame::CDecodedSnmtResponseUdid& f) override { Udid(f); }
  void VisitSnmtSadrAssigned(const Frame::CDecodedSnmtSadrAssigned& f) override { Udid(f); }
  void VisitSnmtSnSetToOp(const Frame::CDecodedSnmtSnSetToOp& f) override {
    ++calls;
    f.GetSafetyAddress();
  }
  void VisitSnmtSnFail(const Frame::CDecodedSnmtSnFail& f) override { Error(f); }
  void VisitSnmtSnAck(const Frame::CDecodedSnmtSnAck& f) override { Error(f); }
  void VisitSsdoUploadInitiateExpeditedResponse(const Frame::CDecodedSsdoUploadInitiateExpeditedResponse& f) override {
    Initiate(f);
  }
  void VisitSsdoUploadInitiateSegmentedResponse(const Frame::CDecodedSsdoUploadInitiateSegmentedResponse& f) override {
    Initiate(f);
  }
  void VisitSsdoUploadMiddleSegmentResponse(const Frame::CDecodedSsdoUploadMiddleSegmentResponse& f) override {
    Data(f);
  }
  void VisitSsdoUploadEndSegmentResponse(const Frame::CDecodedSsdoUploadEndSegmentResponse& f) override { Data(f); }
  void VisitSsdoDownloadInitiateExpeditedRequest(const Frame::CDecodedSsdoDownloadInitiateExpeditedRequest& f) override {
    Initiate(f);
  }
  void VisitSsdoDownloadInitiateSegmentedRequest(const Frame::CDecodedSsdoDownloadInitiateSegmentedRequest& f) override {
    Initiate(f);
  }
  void VisitSsdoDownloadMiddleSegmentRequest(const Frame::CDecodedSsdoDownloadMiddleSegmentRequest& f) override {
    Data(f);
  }
  void VisitSsdoDownloadEndSegmentRequest(const Frame::CDecodedSsdoDownloadEndSegmentRequest& f) override { Data(f); }

 private:
  template <typename F>
  void Udid(const F& f) {
    ++calls;
    Inside(f.GetUdid(), 6, m_Low, m_High, "GetUdid");
    f.GetSafetyAddress();
  }
  template <typename F>
  void Error(const F& f) {
    ++calls;
    f.GetErrorGroup();
    f.GetErrorCode();
    f.GetSafetyAddress();
  }
  template <typename F>
  void Initiate(const F& f) {
    f.GetIndex();
    f.GetSubIndex();
    Data(f);
  }
  template <typename F>
  void Data(const F& f) {
    ++calls;
    Inside(f.GetParameterData(), f.GetParameterDataLength(), m_Low, m_High, "GetParameterData");
    f.GetSafetyAddress();
  }

  const u8* m_Low;   ///< first payload byte
  const u8* m_High;  ///< one past the last payload byte
};

class EventProbe : public Event::CDecodedEventVisitor {
 public:
  void VisitModulesAcknowledged(const Event::CDecodedModulesAcknowledged& e) override {
    e.GetAcknowledgedModuleCount();
  }
};

class CommandProbe : public Hmi::CDecodedCommandVisitor {
 public:
  CommandProbe(const u8* low, const u8* high) : m_Low(low), m_High(high) {}
  void VisitChangePassword(const Hmi::CDecodedChangePassword& c) override {
    const std::size_t length = static_cast<std::size_t>(m_High - m_Low);
    if (length < Hmi::CDecodedCommand::ms_ChangedPasswordLength) {
      // The one getter that may throw: a password change too short for its new password.
      try {
        c.GetChangedPassword();
        Violation("GetChangedPassword of a short command did not throw");
      } catch (const Util::CException& e) {
        ExpectCodeIn(e, {ErrorCodes::ms_CommandTooShort}, "GetChangedPassword");
      }
    } else {
      Inside(c.GetChangedPassword(), 16, m_Low, m_High, "GetChangedPassword");
    }
  }
  void VisitAcknowledgeModules(const Hmi::CDecodedAcknowledgeModules& c) override {
    const u32 n = c.GetAcknowledgedModuleCount();
    if (n < 1 || n > 5) {
      Violation("module count outside 1..5");
    }
  }

 private:
  const u8* m_Low;   ///< the command
  const u8* m_High;  ///< one past its end
};

class ResponseProbe : public Hmi::CDecodedResponseVisitor {
 public:
  int kind = 0;  ///< 1 classic, 2 new
  void VisitStatus(Hmi::CDecodedStatus& s) override {
    kind = 1;
    s.GetStatus();
    s.IsSuccessful();
    s.GetFailSafeFlags();
    s.IsOk();
    s.SetFailSafeFlags(true);
    if (s.GetFailSafeFlags() != 4 && s.GetFailSafeFlags() != 6) {
      Violation("classic mark not 4 or 6");
    }
  }
  void VisitStatusNew(Hmi::CDecodedStatusNew& s) override {
    kind = 2;
    s.GetStatus();
    s.IsSuccessful();
    s.GetFailSafeFlag();
    s.IsOk();
    s.SetFailSafeFlag(true);
    if (s.IsOk()) {
      Violation("new mark not set");
    }
  }
};

void Unchanged(const std::vector<u8>& before, const u8* data, std::size_t size, const char* decoder) {
  if (size != before.size() || !std::equal(before.begin(), before.end(), data)) {
    Violation(std::string(decoder) + " changed its input");
  }
}

}  // namespace

bool DriveFrameDecoder(const u8* data, std::size_t size) {
  const std::vector<u8> before(data, data + size);
  const u16 length = static_cast<u16>(std::min<std::size_t>(size, 0xFFFF));
  Frame::CFrameDecoder decoder;
  const Frame::CDecodedFrame* frame = nullptr;
  try {
    frame = decoder.GetDecodedFrame(length, data, kScmUdid.data());
  } catch (const Util::CException& e) {
    ExpectCodeIn(e,
                 {ErrorCodes::ms_FrameTooShort, ErrorCodes::ms_FrameBelowMinimum, ErrorCodes::ms_FrameCrcWrong,
                  ErrorCodes::ms_FramePayloadsDiffer, ErrorCodes::ms_FrameSpdo, ErrorCodes::ms_FrameIdUnknown},
                 "frame decoder");
    Unchanged(before, data, size, "frame decoder");
    return false;
  }
  NeverThrows("frame getters", [&] {
    frame->GetAdr();
    frame->GetId();
    frame->GetCt();
    frame->GetTadr();
    frame->GetTr();
    frame->GetSdn();
    const u8* payload = frame->GetDbs();
    Inside(payload, frame->GetLe(), data, data + size, "GetDbs");
    FrameProbe probe(payload, payload + frame->GetLe());
    frame->Accept(probe);
    if (probe.calls > 1) {
      Violation("more than one visitor operation");
    }
  });
  Unchanged(before, data, size, "frame decoder");
  return true;
}

bool DriveEventDecoder(const u8* data, std::size_t size) {
  const std::vector<u8> before(data, data + size);
  const u8 length = static_cast<u8>(std::min<std::size_t>(size, 0xFF));
  Event::CEventDecoder decoder;
  const Event::CDecodedEvent* event = nullptr;
  try {
    event = decoder.GetDecodedEvent(length, data);
  } catch (const Util::CException& e) {
    ExpectCodeIn(e, {ErrorCodes::ms_EventTooShort}, "event decoder");
    Unchanged(before, data, size, "event decoder");
    return false;
  }
  NeverThrows("event getters", [&] {
    event->GetLevel();
    event->GetCode();
    event->GetInformation0();
    event->GetInformation1();
    EventProbe probe;
    event->Accept(probe);
  });
  Unchanged(before, data, size, "event decoder");
  return true;
}

bool DriveCommandDecoder(const u8* data, std::size_t size) {
  const std::vector<u8> before(data, data + size);
  const u8 length = static_cast<u8>(std::min<std::size_t>(size, 0xFF));
  Hmi::CCommandDecoder decoder;
  const Hmi::CDecodedCommand* command = nullptr;
  try {
    command = decoder.GetDecodedCommand(length, data);
  } catch (const Util::CException& e) {
    ExpectCodeIn(e, {ErrorCodes::ms_CommandTooShort}, "command decoder");
    Unchanged(before, data, size, "command decoder");
    return false;
  }
  NeverThrows("command getters", [&] {
    command->GetSelector();
    command->GetIdentifier();
    command->GetCommand();
    command->GetNumber();
    command->GetData();
    Inside(command->GetPassword(), 16, data, data + length, "GetPassword");
    CommandProbe probe(data, data + length);
    command->Accept(probe);
  });
  Unchanged(before, data, size, "command decoder");
  return true;
}

bool DriveResponseDecoder(u8* data, std::size_t size) {
  const std::vector<u8> before(data, data + size);
  const u16 length = static_cast<u16>(std::min<std::size_t>(size, 0xFFFF));
  Hmi::CResponseDecoder decoder;
  Hmi::CDecodedResponse* response = nullptr;
  NeverThrows("response decoder", [&] { response = decoder.GetDecodedResponse(length, data); });
  ResponseProbe probe;
  NeverThrows("response getters", [&] {
    if (length >= Hmi::CDecodedResponse::ms_HeaderLength) {
      response->GetSelector();
      response->GetIdentifier();
      response->GetCommand();
    }
    response->Accept(probe);
  });
  for (std::size_t i = 0; i < size; ++i) {
    const bool mark = (probe.kind == 1 && i == Hmi::CDecodedStatus::ms_FailSafeOffset) ||
                      (probe.kind == 2 && i >= Hmi::CDecodedStatusNew::ms_FlagsOffset &&
                       i < Hmi::CDecodedStatusNew::ms_FlagsOffset + 4);
    if (!mark && data[i] != before[i]) {
      Violation("response decoder changed byte " + std::to_string(i));
    }
  }
  return probe.kind != 0;
}

}  // namespace DecodeTest
