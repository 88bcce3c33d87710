#include "Check/CCheckingAdditionalParameterInspector.h"

#include <cstring>

#include "CException.h"
#include "CInternalError.h"
#include "ErrorCodes.h"
#include "Frame/CDecodedFrame.h"
#include "Frame/CDecodedSnmtAssignSadr.h"
#include "Frame/CDecodedSnmtSnFail.h"
#include "Frame/CDecodedSsdoDownloadEndSegmentRequest.h"
#include "Frame/CDecodedSsdoDownloadInitiateExpeditedRequest.h"
#include "Frame/CDecodedSsdoDownloadInitiateSegmentedRequest.h"
#include "Frame/CDecodedSsdoDownloadMiddleSegmentRequest.h"

namespace Check {

using Util::CException;
using Util::ErrorCodes;

namespace {
constexpr u32 ms_CtCycle = 0xFFFF;        ///< CTs a transfer runs through (0 is never reached again)
constexpr u32 ms_CtUnreachable = 0x10000; ///< steps that mean "never reached"
}  // namespace

CCheckingAdditionalParameterInspector::CCheckingAdditionalParameterInspector(const CAdditionalParameterCatalog& catalog)
    : m_Catalog(catalog) {}

void CCheckingAdditionalParameterInspector::InspectReceivedFrame(const Frame::CDecodedFrame& frame) {
  // The firmware's stack drops a frame from the network with SADR 0; so does this check.
  m_Receiving = true;
  try {
    frame.Accept(*this);
  } catch (...) {
    m_Receiving = false;
    throw;
  }
  m_Receiving = false;
}

void CCheckingAdditionalParameterInspector::InspectSentFrame(const Frame::CDecodedFrame& frame) {
  frame.Accept(*this);
}

bool CCheckingAdditionalParameterInspector::IsValid() const { return m_Valid; }

CCheckingAdditionalParameterInspector::SSafetyAddressState* CCheckingAdditionalParameterInspector::FindState(
    u16 sadr) {
  if (sadr == 0 || sadr > ms_SafetyAddressMax) {
    if (m_Receiving) {
      return nullptr;
    }
    UTIL_RAISE_INTERNAL();
  }
  return &m_States[sadr - 1];
}

CCheckingAdditionalParameterInspector::SSafetyAddressState* CCheckingAdditionalParameterInspector::FindRequestedDownload(
    u16 sadr, u16 index, u8 subIndex) {
  SSafetyAddressState* state = FindState(sadr);
  if (state == nullptr || !state->m_Requested || index != ms_ParameterDownloadIndex ||
      subIndex != ms_ParameterDownloadSubIndex) {
    return nullptr;
  }
  return state;
}

void CCheckingAdditionalParameterInspector::RestartCapture(SSafetyAddressState& state) {
  state.m_TransferInProgress = false;
  state.m_FirstCt = 0;
  state.m_LastCt = 0;
  state.m_CapturedBytes = 0;
  std::memset(state.m_InvertedHeader, 0xFF, sizeof(state.m_InvertedHeader));
  state.m_Compared = false;
}

u16 CCheckingAdditionalParameterInspector::NextCt(u16 ct) {
  return ct == ms_CtCycle ? static_cast<u16>(1) : static_cast<u16>(ct + 1);
}

namespace {
/// NextCt steps from one CT to another; ms_CtUnreachable when it is never reached.
u32 StepsBetween(u16 from, u16 to) {
  if (from == to) {
    return 0;
  }
  if (to == 0) {
    return ms_CtUnreachable;
  }
  if (from == 0) {
    return to;
  }
  return (static_cast<u32>(to) + ms_CtCycle - from) % ms_CtCycle;
}
}  // namespace

bool CCheckingAdditionalParameterInspector::IsRepeat(const SSafetyAddressState& state, u16 ct) {
  return state.m_TransferInProgress && StepsBetween(state.m_FirstCt, ct) <= StepsBetween(state.m_FirstCt, state.m_LastCt);
}

void CCheckingAdditionalParameterInspector::VisitSnmtSnFail(const Frame::CDecodedSnmtSnFail& frame) {
  SSafetyAddressState* state = FindState(frame.GetSafetyAddress());
  if (state != nullptr && frame.GetErrorGroup() == ms_AdditionalParameterNeededErrorGroup) {
    state->m_Requested = true;
  }
}

void CCheckingAdditionalParameterInspector::VisitSnmtAssignSadr(const Frame::CDecodedSnmtAssignSadr& frame) {
  SSafetyAddressState* state = FindState(frame.GetSafetyAddress());
  if (state != nullptr) {
    state->m_Requested = false;
    RestartCapture(*state);
  }
}

void CCheckingAdditionalParameterInspector::VisitSsdoDownloadInitiateExpeditedRequest(
    const Frame::CDecodedSsdoDownloadInitiateExpeditedRequest& frame) {
  const u16 sadr = frame.GetSafetyAddress();
  SSafetyAddressState* state = FindRequestedDownload(sadr, frame.GetIndex(), frame.GetSubIndex());
  if (state == nullptr) {
    return;
  }
  RestartCapture(*state);
  Take(sadr, *state, frame.GetParameterDataLength(), frame.GetParameterData());
}

void CCheckingAdditionalParameterInspector::VisitSsdoDownloadInitiateSegmentedRequest(
    const Frame::CDecodedSsdoDownloadInitiateSegmentedRequest& frame) {
  const u16 sadr = frame.GetSafetyAddress();
  SSafetyAddressState* state = FindRequestedDownload(sadr, frame.GetIndex(), frame.GetSubIndex());
  if (state == nullptr) {
    return;
  }
  const u16 ct = frame.GetCt();
  if (IsRepeat(*state, ct)) {
    return;
  }
  RestartCapture(*state);
  state->m_TransferInProgress = true;
  state->m_FirstCt = ct;
  state->m_LastCt = ct;
  const u32 length = frame.GetParameterDataLength();
  const u8* data = frame.GetParameterData();
  UTIL_CHECK(data != nullptr);
  if (length > ms_TotalParameterLengthLength) {
    Take(sadr, *state, length - ms_TotalParameterLengthLength, data + ms_TotalParameterLengthLength);
  }
}

void CCheckingAdditionalParameterInspector::VisitSsdoDownloadMiddleSegmentRequest(
    const Frame::CDecodedSsdoDownloadMiddleSegmentRequest& frame) {
  TakeSegment(frame.GetSafetyAddress(), frame.GetCt(), frame.GetParameterDataLength(), frame.GetParameterData(),
              false);
}

void CCheckingAdditionalParameterInspector::VisitSsdoDownloadEndSegmentRequest(
    const Frame::CDecodedSsdoDownloadEndSegmentRequest& frame) {
  TakeSegment(frame.GetSafetyAddress(), frame.GetCt(), frame.GetParameterDataLength(), frame.GetParameterData(),
              true);
}

void CCheckingAdditionalParameterInspector::TakeSegment(u16 sadr, u16 ct, u32 length, const u8* data, bool last) {
  SSafetyAddressState* state = FindState(sadr);
  // Only the segment that follows the last one taken counts; resent ones are skipped.
  if (state == nullptr || !state->m_Requested || !state->m_TransferInProgress || ct != NextCt(state->m_LastCt)) {
    return;
  }
  state->m_LastCt = ct;
  if (last) {
    state->m_TransferInProgress = false;
  }
  Take(sadr, *state, length, data);
}

void CCheckingAdditionalParameterInspector::Take(u16 sadr, SSafetyAddressState& state, u32 length, const u8* data) {
  UTIL_CHECK(data != nullptr);
  u32 count = ms_HeaderLength - state.m_CapturedBytes;
  if (length < count) {
    count = length;
  }
  for (u32 i = 0; i < count; ++i) {
    state.m_InvertedHeader[state.m_CapturedBytes + i] = static_cast<u8>(~data[i]);
  }
  state.m_CapturedBytes += count;
  if (state.m_CapturedBytes == ms_HeaderLength && !state.m_Compared) {
    Compare(sadr, state);
    state.m_Compared = true;
  }
}

void CCheckingAdditionalParameterInspector::Compare(u16 sadr, const SSafetyAddressState& state) {
  const u8 parameterNumber = static_cast<u8>(~state.m_InvertedHeader[0]);
  if (parameterNumber >= ms_ParameterNumberCount) {
    m_Valid = false;
    throw CException(ErrorCodes::ms_AdditionalParameterNumber, sadr, parameterNumber);
  }
  if (!m_Catalog.HasAdditionalParameter(sadr, parameterNumber)) {
    m_Valid = false;
    throw CException(ErrorCodes::ms_AdditionalParameterUnknown, sadr, parameterNumber);
  }
  const u8* expected = m_Catalog.GetInvertedAdditionalParameterHeader(sadr, parameterNumber);
  if (expected == nullptr) {
    m_Valid = false;
    UTIL_RAISE_INTERNAL();
  }
  if (std::memcmp(expected, state.m_InvertedHeader, ms_HeaderLength) != 0) {
    m_Valid = false;
    throw CException(ErrorCodes::ms_AdditionalParameterHeaderDiffers, sadr, parameterNumber);
  }
}

}  // namespace Check
