#include "CDecodedResponse.h"

#include "CException.h"
#include "CInternalError.h"
#include "ErrorCodes.h"

namespace Hmi {

namespace {

constexpr u32 kTypeOffset = 0;        ///< u16 header type
constexpr u32 kIdentifierOffset = 2;  ///< u16 header identifier
constexpr u32 kCommandOffset = 4;     ///< u16 class of the request
constexpr u32 kStatusOffset = 8;      ///< u16 status (result)

u16 ReadU16(const u8* p) { return static_cast<u16>(p[0] | (p[1] << 8)); }

}  // namespace

CDecodedResponse::CDecodedResponse() : m_Length(0), m_pResponse(nullptr), m_Binding(0) {}

CDecodedResponse::~CDecodedResponse() { m_pResponse = nullptr; }

void CDecodedResponse::Initialize(u16 length, u8* response) {
  m_Length = length;
  m_pResponse = response;
  // 0 stays "never bound", also when the count wraps.
  if (++m_Binding == 0) {
    m_Binding = 1;
  }
}

const u8* CDecodedResponse::Field(u16 length, const u8* response, u32 offset, u16 minimum) {
  UTIL_CHECK(response != nullptr);
  if (length < minimum) {
    throw Util::CException(Util::ErrorCodes::ms_ResponseTooShort, static_cast<u32>(length));
  }
  return response + offset;
}

u8* CDecodedResponse::WritableField(u32 offset, u16 minimum) {
  Field(m_Length, m_pResponse, offset, minimum);
  return m_pResponse + offset;
}

u16 CDecodedResponse::ReadStatus(u16 minimum) const {
  return ReadU16(Field(m_Length, m_pResponse, kStatusOffset, minimum));
}

u32 CDecodedResponse::GetSelector(u16 length, const u8* response) {
  const u8* p = Field(length, response, kTypeOffset, ms_HeaderLength);
  return static_cast<u32>(ReadU16(p)) | (static_cast<u32>(ReadU16(p + 2)) << 16);
}

u16 CDecodedResponse::GetIdentifier(u16 length, const u8* response) {
  return ReadU16(Field(length, response, kIdentifierOffset, ms_HeaderLength));
}

u16 CDecodedResponse::GetCommand(u16 length, const u8* response) {
  return ReadU16(Field(length, response, kCommandOffset, ms_HeaderLength));
}

u32 CDecodedResponse::GetSelector() const { return GetSelector(m_Length, m_pResponse); }

u16 CDecodedResponse::GetIdentifier() const { return GetIdentifier(m_Length, m_pResponse); }

u16 CDecodedResponse::GetCommand() const { return GetCommand(m_Length, m_pResponse); }

bool CDecodedResponse::HasResponseType(u16 length, const u8* response) {
  return static_cast<u16>(GetSelector(length, response) & 0xFFFF) == ms_ResponseType;
}

}  // namespace Hmi
