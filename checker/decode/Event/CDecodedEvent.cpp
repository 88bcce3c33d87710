#include "CDecodedEvent.h"

#include "CException.h"
#include "CInternalError.h"
#include "ErrorCodes.h"

namespace Event {

namespace {

constexpr u32 kLevelOffset = 0;         ///< u8 level
constexpr u32 kCodeOffset = 1;          ///< u32 event code
constexpr u32 kInformation0Offset = 5;  ///< u16 information0
constexpr u32 kInformation1Offset = 7;  ///< u32 information1

/// The one check of every field access; returns the field's first byte.
const u8* Field(u8 length, const u8* event, u32 offset) {
  UTIL_CHECK(event != nullptr);
  if (length < CDecodedEvent::ms_EventLength) {
    throw Util::CException(Util::ErrorCodes::ms_EventTooShort, static_cast<u32>(length));
  }
  return event + offset;
}

u32 ReadU32(const u8* p) {
  return static_cast<u32>(p[0]) | (static_cast<u32>(p[1]) << 8) | (static_cast<u32>(p[2]) << 16) |
         (static_cast<u32>(p[3]) << 24);
}

}  // namespace

CDecodedEvent::CDecodedEvent() : m_Length(0), m_pEvent(nullptr) {}

CDecodedEvent::~CDecodedEvent() { m_pEvent = nullptr; }

void CDecodedEvent::Initialize(u8 length, const u8* event) {
  m_Length = length;
  m_pEvent = event;
}

u8 CDecodedEvent::GetLevel() const { return GetLevel(m_Length, m_pEvent); }

u32 CDecodedEvent::GetCode() const { return GetCode(m_Length, m_pEvent); }

u16 CDecodedEvent::GetInformation0() const { return GetInformation0(m_Length, m_pEvent); }

u32 CDecodedEvent::GetInformation1() const { return GetInformation1(m_Length, m_pEvent); }

u8 CDecodedEvent::GetLevel(u8 length, const u8* event) { return *Field(length, event, kLevelOffset); }

u32 CDecodedEvent::GetCode(u8 length, const u8* event) { return ReadU32(Field(length, event, kCodeOffset)); }

u16 CDecodedEvent::GetInformation0(u8 length, const u8* event) {
  const u8* p = Field(length, event, kInformation0Offset);
  return static_cast<u16>(p[0] | (p[1] << 8));
}

u32 CDecodedEvent::GetInformation1(u8 length, const u8* event) {
  return ReadU32(Field(length, event, kInformation1Offset));
}

}  // namespace Event
