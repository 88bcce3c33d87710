// The older build's response decoder: the classic 280-byte status and the
// unknown response (that firmware has no new-format status). It reads the
// selector before it compares the length, so a response of 12 bytes or fewer
// throws 0xE2CA, which the session logs as a warning.
#pragma once
#include "Hmi/CDecodedStatus.h"
#include "Hmi/CDecodedUnknownResponse.h"
#include "Hmi/CResponseDecoding.h"

namespace Hmi {

class CLegacyResponseDecoder : public CResponseDecoding {
 public:
  CLegacyResponseDecoder();
  ~CLegacyResponseDecoder() override;

  CLegacyResponseDecoder(const CLegacyResponseDecoder&) = delete;
  CLegacyResponseDecoder& operator=(const CLegacyResponseDecoder&) = delete;

  /// Type 4 and at least 280 bytes: the status; else the unknown response.
  /// Null 0xE200; 12 bytes or fewer 0xE2CA (i1 length).
  CDecodedResponse* GetDecodedResponse(u16 length, u8* response) override;

 private:
  CDecodedStatus m_Status;            ///< classic 280-byte status
  CDecodedUnknownResponse m_Unknown;  ///< any other response
};

}  // namespace Hmi
