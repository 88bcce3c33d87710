#include "CMessageDecoder.h"

namespace Sio {

CMessageDecoder::CMessageDecoder() = default;

CMessageDecoder::~CMessageDecoder() = default;

const CDecodedMessage* CMessageDecoder::GetDecodedMessage(u8 length, const u8* data) {
  CDecodedMessage* chosen = &m_Unknown;
  if (CDecodedReadResponse::IsReadResponse(length, data)) {
    chosen = &m_ReadResponse;
  }
  chosen->Initialize(length, data);
  return chosen;
}

}  // namespace Sio
