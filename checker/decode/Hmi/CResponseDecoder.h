// Decodes status responses into one of its preallocated kinds. Recognition
// never throws for a non-null buffer: a response too short for both layouts
// is the unknown response. The result may write into the caller's buffer.
#pragma once
#include "CDecodedStatus.h"
#include "CResponseDecoding.h"
#include "CDecodedStatusNew.h"
#include "CDecodedUnknownResponse.h"

namespace Hmi {

class CResponseDecoder : public CResponseDecoding {
 public:
  CResponseDecoder();
  ~CResponseDecoder() override;

  CResponseDecoder(const CResponseDecoder&) = delete;
  CResponseDecoder& operator=(const CResponseDecoder&) = delete;

  /// The new status first, then the classic status, else the unknown
  /// response; a null response throws 0xE200.
  CDecodedResponse* GetDecodedResponse(u16 length, u8* response) override;

 private:
  CDecodedStatus m_Status;             ///< classic 280-byte status
  CDecodedStatusNew m_StatusNew;       ///< new 52-byte status
  CDecodedUnknownResponse m_Unknown;   ///< any other response
};

}  // namespace Hmi
