#include "Check/CCheckingParameterInspector.h"

#include <cstring>

#include "CException.h"
#include "CInternalError.h"
#include "Check/CParameterChecker.h"
#include "ErrorCodes.h"
#include "Frame/CDecodedSnmtAssignSadr.h"
#include "Frame/CDecodedSnmtSnSetToOp.h"
#include "Frame/CDecodedSsdoDownloadEndSegmentRequest.h"
#include "Frame/CDecodedSsdoDownloadInitiateExpeditedRequest.h"
#include "Frame/CDecodedSsdoDownloadInitiateSegmentedRequest.h"
#include "Frame/CDecodedSsdoDownloadMiddleSegmentRequest.h"
#include "Frame/CDecodedSsdoUploadEndSegmentResponse.h"
#include "Frame/CDecodedSsdoUploadInitiateExpeditedResponse.h"
#include "Frame/CDecodedSsdoUploadInitiateSegmentedResponse.h"
#include "Frame/CDecodedSsdoUploadMiddleSegmentResponse.h"

namespace Check {

using Util::CException;
using Util::ErrorCodes;

namespace {

/// Record header: byte offsets of its fields.
constexpr u32 ms_HeaderIndexOffset = 0;     ///< u16 object index
constexpr u32 ms_HeaderSubIndexOffset = 2;  ///< u8 sub-index
constexpr u32 ms_HeaderLengthOffset = 3;    ///< u32 data length

bool IsChecksumObject(u16 index, u8 subIndex) {
  return index == CCheckingParameterInspector::ms_DeviceVendorInformationIndex &&
         subIndex == CCheckingParameterInspector::ms_ChecksumSubIndex;
}

bool IsDownloadObject(u16 index, u8 subIndex) {
  return index == CCheckingParameterInspector::ms_ParameterDownloadIndex &&
         subIndex == CCheckingParameterInspector::ms_ParameterDownloadSubIndex;
}

}  // namespace

CCheckingParameterInspector::CCheckingParameterInspector(CParameterChecker& checker)
    : m_Modules{}, m_Checker(checker), m_Valid(true) {
  for (SModule& module : m_Modules) {
    std::memset(module.checksum, 0xFF, sizeof(module.checksum));
  }
}

CCheckingParameterInspector::~CCheckingParameterInspector() = default;

void CCheckingParameterInspector::InspectReceivedFrame(const Frame::CDecodedFrame& frame) { frame.Accept(*this); }

void CCheckingParameterInspector::InspectSentFrame(const Frame::CDecodedFrame& frame) { frame.Accept(*this); }

bool CCheckingParameterInspector::IsValid() const { return m_Valid; }

u16 CCheckingParameterInspector::GetFrameIndex(u16 sadr) {
  UTIL_CHECK(CSafetyAddressRange::IsInRange(sadr));
  return CSafetyAddressRange::GetModuleIndex(sadr);
}

void CCheckingParameterInspector::ClearScan(u16 i) {
  SModule& module = m_Modules[i];
  module.checksumLength = 0;
  std::memset(module.checksum, 0xFF, sizeof(module.checksum));
  module.headerBytes = 0;
  std::memset(module.header, 0, sizeof(module.header));
  module.dataBytes = 0;
}

void CCheckingParameterInspector::HandOver(u16 sadr, u16 i) {
  SModule& module = m_Modules[i];
  module.checksumKnown = true;
  m_Checker.RemoveDiscoveredModule(sadr);
  m_Checker.AddDiscoveredModule(sadr, module.checksumLength, module.checksum);
  module.checksumLength = 0;
  std::memset(module.checksum, 0xFF, sizeof(module.checksum));
}

void CCheckingParameterInspector::VisitSnmtAssignSadr(const Frame::CDecodedSnmtAssignSadr& frame) {
  const u16 i = GetFrameIndex(frame.GetSafetyAddress());
  m_Modules[i].operational = false;
  m_Modules[i].checksumKnown = false;
  m_Modules[i].transfer.Clear();
  ClearScan(i);
}

void CCheckingParameterInspector::VisitSnmtSnSetToOp(const Frame::CDecodedSnmtSnSetToOp& frame) {
  const u16 sadr = frame.GetSafetyAddress();
  const u16 i = GetFrameIndex(sadr);
  if (m_Modules[i].checksumKnown && m_Checker.IsValidModule(sadr)) {
    m_Modules[i].operational = true;
    return;
  }
  u32 flags = 0;
  flags |= m_Checker.IsRequiredModule(sadr) ? ms_RequiredModuleFlag : 0;
  flags |= m_Checker.IsDiscoveredModule(sadr) ? ms_DiscoveredModuleFlag : 0;
  flags |= m_Checker.IsCompatibleModule(sadr) ? ms_CompatibleModuleFlag : 0;
  m_Valid = false;
  throw CException(ErrorCodes::ms_ChecksumSetToOpRefused, sadr, flags);
}

// ---- upload of the checksum, answered by the node ----

void CCheckingParameterInspector::VisitSsdoUploadInitiateExpeditedResponse(
    const Frame::CDecodedSsdoUploadInitiateExpeditedResponse& frame) {
  if (!IsChecksumObject(frame.GetIndex(), frame.GetSubIndex())) {
    return;
  }
  const u16 sadr = frame.GetSafetyAddress();
  const u16 i = GetFrameIndex(sadr);
  SModule& module = m_Modules[i];
  const u8 n = frame.GetParameterDataLength();
  const u8* data = frame.GetParameterData();
  UTIL_CHECK(data != nullptr || n == 0);
  module.transfer.Clear();
  module.checksumLength = n;
  for (u32 k = 0; k < n; ++k) {
    module.checksum[k] = static_cast<u8>(~data[k]);
  }
  HandOver(sadr, i);
}

void CCheckingParameterInspector::VisitSsdoUploadInitiateSegmentedResponse(
    const Frame::CDecodedSsdoUploadInitiateSegmentedResponse& frame) {
  if (!IsChecksumObject(frame.GetIndex(), frame.GetSubIndex())) {
    return;
  }
  const u16 sadr = frame.GetSafetyAddress();
  const u16 i = GetFrameIndex(sadr);
  SModule& module = m_Modules[i];
  if (!module.transfer.TryTakeInitiate(frame.GetCt())) {
    return;
  }
  const u8* data = frame.GetParameterData();
  const u32 length = frame.GetParameterDataLength();
  UTIL_CHECK(data != nullptr && length >= ms_TotalParameterLengthLength);
  const u32 n = length - ms_TotalParameterLengthLength;
  std::memset(module.checksum, 0xFF, sizeof(module.checksum));
  for (u32 k = 0; k < n; ++k) {
    module.checksum[k] = static_cast<u8>(~data[ms_TotalParameterLengthLength + k]);
  }
  module.checksumLength = n;
}

void CCheckingParameterInspector::AppendUploaded(u16 sadr, u16 i, u32 n, const u8* data) {
  SModule& module = m_Modules[i];
  UTIL_CHECK(data != nullptr || n == 0);
  if (module.checksumLength + n > ms_ChecksumLengthMax) {
    throw CException(ErrorCodes::ms_ChecksumUploadTooLong, sadr, n);
  }
  for (u32 k = 0; k < n; ++k) {
    module.checksum[module.checksumLength + k] = static_cast<u8>(~data[k]);
  }
  module.checksumLength += n;
}

void CCheckingParameterInspector::VisitSsdoUploadMiddleSegmentResponse(
    const Frame::CDecodedSsdoUploadMiddleSegmentResponse& frame) {
  const u16 sadr = frame.GetSafetyAddress();
  const u16 i = GetFrameIndex(sadr);
  if (!m_Modules[i].transfer.TryTakeSegment(frame.GetCt())) {
    return;
  }
  AppendUploaded(sadr, i, frame.GetParameterDataLength(), frame.GetParameterData());
}

void CCheckingParameterInspector::VisitSsdoUploadEndSegmentResponse(
    const Frame::CDecodedSsdoUploadEndSegmentResponse& frame) {
  const u16 sadr = frame.GetSafetyAddress();
  const u16 i = GetFrameIndex(sadr);
  if (!m_Modules[i].transfer.TryTakeSegment(frame.GetCt())) {
    return;
  }
  AppendUploaded(sadr, i, frame.GetParameterDataLength(), frame.GetParameterData());
  m_Modules[i].transfer.Clear();
  HandOver(sadr, i);
}

// ---- download of a parameter set, sent by the SCM ----

void CCheckingParameterInspector::VisitSsdoDownloadInitiateExpeditedRequest(
    const Frame::CDecodedSsdoDownloadInitiateExpeditedRequest& frame) {
  if (!IsDownloadObject(frame.GetIndex(), frame.GetSubIndex())) {
    return;
  }
  const u16 sadr = frame.GetSafetyAddress();
  const u16 i = GetFrameIndex(sadr);
  if (m_Modules[i].operational) {
    return;
  }
  m_Modules[i].transfer.Clear();
  ClearScan(i);
  Scan(sadr, i, frame.GetParameterDataLength(), frame.GetParameterData());
}

void CCheckingParameterInspector::VisitSsdoDownloadInitiateSegmentedRequest(
    const Frame::CDecodedSsdoDownloadInitiateSegmentedRequest& frame) {
  if (!IsDownloadObject(frame.GetIndex(), frame.GetSubIndex())) {
    return;
  }
  const u16 sadr = frame.GetSafetyAddress();
  const u16 i = GetFrameIndex(sadr);
  if (m_Modules[i].operational || !m_Modules[i].transfer.TryTakeInitiate(frame.GetCt())) {
    return;
  }
  ClearScan(i);
  const u8* data = frame.GetParameterData();
  const u32 length = frame.GetParameterDataLength();
  UTIL_CHECK(data != nullptr && length >= ms_TotalParameterLengthLength);
  Scan(sadr, i, length - ms_TotalParameterLengthLength, data + ms_TotalParameterLengthLength);
}

void CCheckingParameterInspector::VisitSsdoDownloadMiddleSegmentRequest(
    const Frame::CDecodedSsdoDownloadMiddleSegmentRequest& frame) {
  const u16 sadr = frame.GetSafetyAddress();
  const u16 i = GetFrameIndex(sadr);
  if (m_Modules[i].operational || !m_Modules[i].transfer.TryTakeSegment(frame.GetCt())) {
    return;
  }
  Scan(sadr, i, frame.GetParameterDataLength(), frame.GetParameterData());
}

void CCheckingParameterInspector::VisitSsdoDownloadEndSegmentRequest(
    const Frame::CDecodedSsdoDownloadEndSegmentRequest& frame) {
  const u16 sadr = frame.GetSafetyAddress();
  const u16 i = GetFrameIndex(sadr);
  if (m_Modules[i].operational || !m_Modules[i].transfer.TryTakeSegment(frame.GetCt())) {
    return;
  }
  m_Modules[i].transfer.Clear();
  Scan(sadr, i, frame.GetParameterDataLength(), frame.GetParameterData());
}

void CCheckingParameterInspector::Scan(u16 sadr, u16 i, u32 length, const u8* data) {
  UTIL_CHECK(data != nullptr);
  SModule& module = m_Modules[i];
  u32 p = 0;
  for (;;) {
    const u32 need = ms_RecordHeaderLength - module.headerBytes;
    if (need > 0) {
      if (p == length) {
        return;
      }
      const u32 take = need < length - p ? need : length - p;
      std::memcpy(module.header + module.headerBytes, data + p, take);
      module.headerBytes += take;
      p += take;
      if (module.headerBytes < ms_RecordHeaderLength) {
        return;
      }
    }
    const u16 index = static_cast<u16>(module.header[ms_HeaderIndexOffset] | (module.header[ms_HeaderIndexOffset + 1] << 8));
    const u8 subIndex = module.header[ms_HeaderSubIndexOffset];
    const u32 recordLength = static_cast<u32>(module.header[ms_HeaderLengthOffset]) |
                             (static_cast<u32>(module.header[ms_HeaderLengthOffset + 1]) << 8) |
                             (static_cast<u32>(module.header[ms_HeaderLengthOffset + 2]) << 16) |
                             (static_cast<u32>(module.header[ms_HeaderLengthOffset + 3]) << 24);
    const bool isChecksum = IsChecksumObject(index, subIndex);
    // A checksum record that cannot fit is refused before a byte of it is stored.
    if (isChecksum && module.dataBytes == 0 &&
        (recordLength > ms_ChecksumLengthMax || recordLength % ms_TotalParameterLengthLength != 0)) {
      throw CException(ErrorCodes::ms_ChecksumLength, sadr, recordLength);
    }
    const u32 remaining = recordLength - module.dataBytes;
    const u32 t = remaining < length - p ? remaining : length - p;
    if (isChecksum) {
      for (u32 k = 0; k < t; ++k) {
        module.checksum[module.dataBytes + k] = static_cast<u8>(~data[p + k]);
      }
      module.checksumLength += t;
    }
    module.dataBytes += t;
    p += t;
    if (t < remaining) {
      return;
    }
    if (isChecksum) {
      HandOver(sadr, i);
    }
    module.headerBytes = 0;
    std::memset(module.header, 0, sizeof(module.header));
    module.dataBytes = 0;
  }
}

}  // namespace Check
