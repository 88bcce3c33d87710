// A stand-in for the checker, for tests of scmfirmware: it opens the
// firmware-side queues and the two cycle semaphores, answers the ident-word
// handshake through host conditions 1 and 2, paces the firmware one cycle at a
// time with a time limit, reads the events and puts commands. It reaches the
// host only through the host library's wrappers, as the checker does.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "vxworks.h"

namespace ScmTest {

/// One event record as it leaves the firmware.
struct StubEvent {
  uint8_t level;   ///< level
  uint32_t code;   ///< event code
  uint16_t info0;  ///< information0
  uint32_t info1;  ///< information1
  bool operator==(const StubEvent&) const = default;
};

/// Decodes one complemented 11-byte event record; none when the length is wrong.
std::optional<StubEvent> DecodeComplementedEvent(const uint8_t* bytes, size_t length);

class CheckerStub {
 public:
  explicit CheckerStub(uint16_t sdn);
  ~CheckerStub();
  CheckerStub(const CheckerStub&) = delete;
  CheckerStub& operator=(const CheckerStub&) = delete;

  /// Opens "~event", "~command" and both cycle semaphores; false when one is missing.
  bool Open();
  /// Sets host condition 1 to the value; false when the host refused.
  bool OfferIdent(uint32_t value);
  /// Waits for host condition 2 and returns its value; none when the wait failed.
  std::optional<uint32_t> AwaitIdent();
  /// One cycle: gives "~frame-send", takes "~frame-receive" within timeoutMs; true when answered.
  bool Cycle(int timeoutMs);
  /// True when "~frame-receive" was given although no cycle was asked for (takes it).
  bool UnaskedAnswer();
  /// Every event waiting on "~event", complemented back, oldest first.
  std::vector<StubEvent> TakeEvents();
  /// Puts the plain bytes complemented on "~command"; false when the queue refused.
  bool PutCommand(const std::vector<uint8_t>& plain);

 private:
  uint16_t sdn_;                  ///< domain number
  MSG_Q_ID event_ = nullptr;      ///< "~event"
  MSG_Q_ID command_ = nullptr;    ///< "~command"
  SEM_ID give_ = nullptr;         ///< "~frame-send": the firmware's cycle start
  SEM_ID take_ = nullptr;         ///< "~frame-receive": the firmware's cycle end
};

}  // namespace ScmTest
