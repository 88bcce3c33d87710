// Decodes a message of the Qor variable channel into one of its preallocated
// kinds. Nothing is allocated after construction; the result stays valid
// until the next call and points into the caller's buffer.
#pragma once
#include "CDecodedReadResponse.h"
#include "CDecodedUnknownMessage.h"

namespace Sio {

class CMessageDecoder {
 public:
  CMessageDecoder();
  ~CMessageDecoder();

  CMessageDecoder(const CMessageDecoder&) = delete;
  CMessageDecoder& operator=(const CMessageDecoder&) = delete;

  /// The read response when IsReadResponse holds, else the unknown message;
  /// length 0 throws 0xE2D1 (i1 0), null data 0xE200.
  const CDecodedMessage* GetDecodedMessage(u8 length, const u8* data);

 private:
  CDecodedReadResponse m_ReadResponse;  ///< answer to a read request
  CDecodedUnknownMessage m_Unknown;     ///< any other message
};

}  // namespace Sio
