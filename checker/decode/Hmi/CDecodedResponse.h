// Base of every decoded status response: the command-channel header (u16 type
// 4, u16 identifier echoed from the command) and the answer, little-endian.
// Unlike the other decoded messages, a response is bound to a writable buffer:
// the status kinds write the checker's fail-safe marks into it in place.
//
//   0-3 selector (u32; the type in bytes 0-1, the identifier in bytes 2-3)
//   4-5 command (class of the request) | 8-9 status (0 success)
#pragma once
#include "ScmTypes.h"

namespace Hmi {

class CDecodedResponseVisitor;

class CDecodedResponse {
 public:
  /// Calls the visitor operation named after the concrete kind (none for the unknown response).
  virtual void Accept(CDecodedResponseVisitor& visitor) = 0;
  virtual ~CDecodedResponse();

  CDecodedResponse(const CDecodedResponse&) = delete;
  CDecodedResponse& operator=(const CDecodedResponse&) = delete;

  static constexpr u32 ms_SelectorLength = 4;  ///< bytes of the selector (the channel header)
  static constexpr u16 ms_ResponseType = 4;    ///< header type of remote-control responses, bytes 0-1
  static constexpr u16 ms_HeaderLength = 13;   ///< bytes the selector, identifier and command readers need

  /// Stores length and pointer; no check.
  void Initialize(u16 length, u8* response);

  /// Header fields of the bound response: null 0xE200, length 12 or less 0xE2CA (i1 length).
  u32 GetSelector() const;
  u16 GetIdentifier() const;
  u16 GetCommand() const;

  /// The same fields of a raw response.
  static u32 GetSelector(u16 length, const u8* response);
  static u16 GetIdentifier(u16 length, const u8* response);
  static u16 GetCommand(u16 length, const u8* response);

 protected:
  CDecodedResponse();

  /// Type 4 in bytes 0-1 (the identifier takes part in no recognizer).
  static bool HasResponseType(u16 length, const u8* response);
  /// The field at offset of a raw response that must be at least minimum bytes long.
  static const u8* Field(u16 length, const u8* response, u32 offset, u16 minimum);
  /// The same for the bound response, writable.
  u8* WritableField(u32 offset, u16 minimum);
  /// The status word (bytes 8-9) of the bound response that must be at least minimum bytes long.
  u16 ReadStatus(u16 minimum) const;

  u16 GetLength() const { return m_Length; }               ///< length of the bound response
  const u8* GetResponseBytes() const { return m_pResponse; }  ///< the bound response
  u32 GetBinding() const { return m_Binding; }              ///< number of the current binding

 private:
  u16 m_Length;     ///< length of the bound response; 0 while unbound
  u8* m_pResponse;  ///< the response in the caller's buffer; null while unbound
  u32 m_Binding;    ///< counts the calls of Initialize, so a kind can tell a new response from the same one
};

}  // namespace Hmi
