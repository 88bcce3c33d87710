// Scripts an SCM's conversation with its nodes through scmchecker under the
// two-sided harness: the firmware side sends the SCM's requests, the host side
// answers as the node. Also writes a small installed domain for the checker
// to start on. Built from sim/frames and the generator, never from checker code.
#pragma once
#include <map>
#include <memory>
#include <string>

#include "CheckerHarness.h"
#include "ConversationFrames.h"
#include "ScmGen.h"

namespace ScmTest {

/// The harness options of a domain installed on its controller: the generated
/// files, the checker's agreeing copies and flash area 16 equal to "corvane.uid"
/// (the key medium acknowledged at start-up).
CheckerHarnessOptions InstalledDomainOptions(const ScmGen::Domain& domain);

/// The same domain, but flash area 16 holds another controller's key-medium
/// identity, so the key medium is not acknowledged (and start-up does not fail safe).
CheckerHarnessOptions UnacknowledgedKeyMediumOptions(const ScmGen::Domain& domain);

class NodeConversation {
 public:
  /// Starts the checker on the options, completes the handshake and lets the SCM assign its UDID.
  explicit NodeConversation(const CheckerHarnessOptions& options, const ConversationFrames& frames);

  /// The firmware sends a frame; true when exactly it reached host "frame-receive" in the same cycle.
  bool FirmwareSends(const FrameSpec& frame);
  /// The node's answer arrives from the network; true when the firmware got it in the next cycle.
  bool NodeAnswers(const FrameSpec& frame);
  /// The firmware sends a status response; the response as it reached the host.
  Bytes StatusThrough(const Bytes& status);

  CheckerHarness& Harness() { return *m_Harness; }
  const ConversationFrames& Frames() const { return m_Frames; }
  /// False when the start failed (a gtest failure was recorded).
  bool Started() const { return m_Started; }

 private:
  bool NextCycle();

  std::unique_ptr<CheckerHarness> m_Harness;  ///< the checker under test
  ConversationFrames m_Frames;                ///< the domain's frames
  bool m_Started = false;                     ///< handshake and SCM UDID done
};

}  // namespace ScmTest
