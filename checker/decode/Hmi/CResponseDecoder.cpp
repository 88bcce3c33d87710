#include "CResponseDecoder.h"

#include "CInternalError.h"

namespace Hmi {

CResponseDecoder::CResponseDecoder() = default;

CResponseDecoder::~CResponseDecoder() = default;

CDecodedResponse* CResponseDecoder::GetDecodedResponse(u16 length, u8* response) {
  UTIL_CHECK(response != nullptr);
  CDecodedResponse* chosen = &m_Unknown;
  if (CDecodedStatusNew::IsStatusNew(length, response)) {
    chosen = &m_StatusNew;
  } else if (CDecodedStatus::IsStatus(length, response)) {
    chosen = &m_Status;
  }
  chosen->Initialize(length, response);
  return chosen;
}

}  // namespace Hmi
