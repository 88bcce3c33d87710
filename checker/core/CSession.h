// The checker's relay between the host runtime and the firmware, one kind of
// message per operation, called once per cycle by the check task.
#pragma once

namespace Main {

class CSession {
 public:
  virtual ~CSession() = default;

  virtual void HandleAllUnlockRequests() = 0;
  virtual void HandleAllUnlockResponses() = 0;
  virtual void HandleAllReceivedFrames() = 0;
  virtual void HandleAllSentFrames() = 0;
  virtual void HandleAllCommands() = 0;
  virtual void HandleAllResponses() = 0;
  virtual void HandleAllEvents() = 0;
  /// Enters fail-safe for good: frames stop both ways, status responses are marked.
  virtual void SwitchToFailSafe() = 0;
};

}  // namespace Main
