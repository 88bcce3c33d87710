#include "CDecodedReadResponse.h"

#include "CDecodedMessageHandler.h"
#include "CException.h"
#include "CInternalError.h"
#include "ErrorCodes.h"

namespace Sio {

namespace {

/// Throws 0xE2D1 with the length unless the message holds minimum bytes.
void RequireLength(u8 length, const u8* data, u8 minimum) {
  UTIL_CHECK(data != nullptr);
  if (length < minimum) {
    throw Util::CException(Util::ErrorCodes::ms_QorMessageTooShort, static_cast<u32>(length));
  }
}

}  // namespace

CDecodedReadResponse::CDecodedReadResponse() = default;

CDecodedReadResponse::~CDecodedReadResponse() = default;

void CDecodedReadResponse::Accept(CDecodedMessageHandler& handler) const { handler.VisitReadResponse(*this); }

bool CDecodedReadResponse::IsReadResponse(u8 length, const u8* data) {
  return GetDirection(length, data) && !GetStatus(length, data) && !GetCommand(length, data);
}

u8 CDecodedReadResponse::GetPayloadLength(u8 length, const u8* data) {
  RequireLength(length, data, 2);
  return data[1];
}

const u8* CDecodedReadResponse::GetPayload(u8 length, const u8* data) {
  RequireLength(length, data, 3);
  return data + ms_PayloadOffset;
}

u8 CDecodedReadResponse::GetPayloadLength() const { return GetPayloadLength(GetLength(), GetData()); }

const u8* CDecodedReadResponse::GetPayload() const { return GetPayload(GetLength(), GetData()); }

}  // namespace Sio
