// Base of every decoded firmware event record (11 bytes, little-endian:
// level, u32 code, u16 information0, u32 information1). The object keeps the
// length and a pointer into the caller's buffer, which it only reads.
#pragma once
#include "ScmTypes.h"

namespace Event {

class CDecodedEventVisitor;

class CDecodedEvent {
 public:
  /// Calls the visitor operation named after the concrete kind (none for the unknown event).
  virtual void Accept(CDecodedEventVisitor& visitor) const = 0;
  virtual ~CDecodedEvent();

  CDecodedEvent(const CDecodedEvent&) = delete;
  CDecodedEvent& operator=(const CDecodedEvent&) = delete;

  static constexpr u8 ms_EventLength = 11;  ///< bytes of an event record; later bytes are ignored

  /// Stores length and pointer; no check.
  void Initialize(u8 length, const u8* event);

  /// Fields of the bound event: null 0xE200, length 10 or less 0xE2C8 (i1 length).
  u8 GetLevel() const;
  u32 GetCode() const;
  u16 GetInformation0() const;
  u32 GetInformation1() const;

  /// The same fields of a raw event.
  static u8 GetLevel(u8 length, const u8* event);
  static u32 GetCode(u8 length, const u8* event);
  static u16 GetInformation0(u8 length, const u8* event);
  static u32 GetInformation1(u8 length, const u8* event);

 protected:
  CDecodedEvent();

 private:
  u8 m_Length;          ///< length of the bound event; 0 while unbound
  const u8* m_pEvent;   ///< the event in the caller's buffer; null while unbound
};

}  // namespace Event
