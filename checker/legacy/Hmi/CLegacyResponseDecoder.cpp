#include "CLegacyResponseDecoder.h"

#include "CInternalError.h"

namespace Hmi {

CLegacyResponseDecoder::CLegacyResponseDecoder() = default;

CLegacyResponseDecoder::~CLegacyResponseDecoder() = default;

CDecodedResponse* CLegacyResponseDecoder::GetDecodedResponse(u16 length, u8* response) {
  UTIL_CHECK(response != nullptr);
  // The selector is read first: it needs the 13-byte header.
  const u32 selector = CDecodedResponse::GetSelector(length, response);
  CDecodedResponse* chosen = &m_Unknown;
  if ((selector & 0xFFFFu) == CDecodedResponse::ms_ResponseType && length >= CDecodedStatus::ms_StatusLength) {
    chosen = &m_Status;
  }
  chosen->Initialize(length, response);
  return chosen;
}

}  // namespace Hmi
