// Any event that is not an acknowledgement event; only forwarded.
#pragma once
#include "CDecodedEvent.h"

namespace Event {

class CDecodedUnknownEvent : public CDecodedEvent {
 public:
  CDecodedUnknownEvent();
  ~CDecodedUnknownEvent() override;

  /// Does nothing.
  void Accept(CDecodedEventVisitor& visitor) const override;
};

}  // namespace Event
