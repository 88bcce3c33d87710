#include "CDecodedStatus.h"

#include "CDecodedResponseVisitor.h"

namespace Hmi {

CDecodedStatus::CDecodedStatus() = default;

CDecodedStatus::~CDecodedStatus() = default;

void CDecodedStatus::Accept(CDecodedResponseVisitor& visitor) { visitor.VisitStatus(*this); }

bool CDecodedStatus::IsStatus(u16 length, const u8* response) {
  return length >= ms_StatusLength && HasResponseType(length, response);
}

u16 CDecodedStatus::GetStatus() const { return ReadStatus(ms_StatusLength); }

bool CDecodedStatus::IsSuccessful() const { return GetStatus() == 0; }

u8 CDecodedStatus::GetFailSafeFlags() const {
  return *Field(GetLength(), GetResponseBytes(), ms_FailSafeOffset, ms_StatusLength);
}

bool CDecodedStatus::IsOk() const { return GetFailSafeFlags() == ms_Ok; }

void CDecodedStatus::SetFailSafeFlags(bool checkerFailSafe) {
  u8* flags = WritableField(ms_FailSafeOffset, ms_StatusLength);
  // A second marking (the inspection failed after the first) must not read
  // the checker's own 4 as a firmware fault.
  if (m_MarkedBinding != GetBinding()) {
    m_MarkedBinding = GetBinding();
    m_FirmwareFlags = *flags;
  }
  SetFailSafeFlags(m_FirmwareFlags == ms_Ok, !checkerFailSafe);
}

void CDecodedStatus::SetFailSafeFlags(bool ok, bool checkerHealthy) {
  u8* flags = WritableField(ms_FailSafeOffset, ms_StatusLength);
  // Whatever non-0x55 value the firmware wrote, the host sees only its flag.
  if (ok) {
    *flags = checkerHealthy ? ms_Ok : ms_CheckerFailSafeFlag;
  } else {
    *flags = checkerHealthy ? ms_ScmFailSafeFlag : static_cast<u8>(ms_ScmFailSafeFlag | ms_CheckerFailSafeFlag);
  }
}

}  // namespace Hmi
