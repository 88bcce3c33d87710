// A scripted peer of the configuration manager: simulated safety nodes that
// answer the SCM's SNMT and SSDO requests from the frame format alone (the
// test-side frame builder and parser, never the stack's serializer), with a
// per-node hook for silence, wrong bytes and delays.
#pragma once
#include <array>
#include <functional>
#include <map>
#include <vector>

#include "FrameBuilder.h"

namespace MgrTest {

using TestFrames::Bytes;
using TestFrames::FrameSpec;
using TestFrames::ParsedFrame;
using TestFrames::Udid;

/// What a node does with one request.
struct Action {
  enum Kind : u8 {
    Default,  ///< the ideal node's answer
    Silent,   ///< no answer
    Replace   ///< the frames below instead
  };
  Kind kind = Default;             ///< what to do
  std::vector<FrameSpec> frames;   ///< answers for Replace (coded as the node would)
  u32 delay = 0;                   ///< cycles the answers are held back beyond the next cycle
};

/// One simulated node.
struct SimNode {
  u16 sadr = 0;                       ///< SADR the node answers to
  Udid udid = {};                     ///< its UDID
  std::map<u32, Bytes> objects;       ///< its objects by (index << 8 | sub-index)
  u8 window = 1;                      ///< preload window it offers (0: answers 0x29)
  bool refusePreload = false;         ///< answers 0x2B with abort 0x05040001
  Bytes opAnswer = {0x03};            ///< answer to set-to-operational
  std::vector<ParsedFrame> received;  ///< every request it received
  std::function<Action(SimNode&, const ParsedFrame&)> script;  ///< per-request hook (null: ideal)
  // SSDO server state
  u32 upKey = 0;           ///< object of the running upload
  u32 upOffset = 0;        ///< bytes uploaded
  u32 dnKey = 0;           ///< object of the running download
  Bytes dnData;            ///< bytes downloaded
  u16 dnLastCt = 0;        ///< CT of the last preloaded segment taken
};

/// Object key of (index, sub-index).
constexpr u32 Key(u16 index, u8 sub) { return (static_cast<u32>(index) << 8) | sub; }

/// The peer: the nodes of the domain.
class ScriptedPeer {
 public:
  std::vector<SimNode> nodes;  ///< the nodes
  Udid scmUdid = {};           ///< the SCM UDID the coding uses
  u16 sdn = 1;                 ///< domain of the answers' SDN when a test builds them

  /// The ideal node's answers to a request (already parsed), before any script.
  std::vector<FrameSpec> IdealAnswers(SimNode& node, const ParsedFrame& req);
  /// Takes a frame the SCM sent (queue form); returns the answers with their extra delay.
  std::vector<std::pair<u32, Bytes>> Receive(const Bytes& frame);
  /// Node with this SADR, or null.
  SimNode* BySadr(u16 sadr);
  /// Adds an ideal node with identity values as the test tables' SetNode gives them.
  SimNode& AddNode(u16 sadr, const Udid& udid);
  /// Answer to a request: addresses swapped, id | 1, CT (SSDO only) and payload.
  static FrameSpec AnswerTo(const ParsedFrame& req, Bytes payload, u8 tr = 0);
};

}  // namespace MgrTest
