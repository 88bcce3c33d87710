// Fakes around the frame pump: the frame channel (a scripted receive queue and
// a send side with a settable free-slot count that can be full or fail), the
// event hook, the task delay, the application's switch-operational answer and
// the dispatcher.
#pragma once
#include <deque>
#include <string>
#include <vector>

#include "ScmTypes.h"

namespace PumpFakes {

using Bytes = std::vector<u8>;  ///< a byte sequence

/// One registered event.
struct Event {
  u32 code;   ///< event code
  u16 info0;  ///< information0
  u32 info1;  ///< information1
  u8 level;   ///< level
  bool operator==(const Event&) const = default;
};

/// One dispatcher call.
struct DispatchCall {
  u32 ct;       ///< ct argument
  bool frame;   ///< a frame was given
  Bytes bytes;  ///< the frame's bytes
};

/// State of every fake.
struct State {
  std::deque<Bytes> rx;          ///< messages waiting on the receive queue
  u8 rxBuf[521] = {};            ///< the channel's receive buffer
  bool rxOccupied = false;       ///< receive buffer handed out
  u32 rxFrees = 0;               ///< receive buffers released
  u32 rxOccupiedTakes = 0;       ///< receives while the buffer was still out
  u8 freeSlots = 10;             ///< free slots of the send queue
  bool refuseSendBuffer = false; ///< the send buffer is not handed out
  u32 fullResults = 0;           ///< sends answered "queue full" before one succeeds
  bool fullForever = false;      ///< every send finds the queue full
  bool otherFailure = false;     ///< sends fail for another reason
  u8 txBuf[521] = {};            ///< the channel's send buffer
  bool txOccupied = false;       ///< send buffer handed out
  std::vector<Bytes> sent;       ///< every message sent (plain)
  u32 sendAttempts = 0;          ///< calls of the send
  u32 txFrees = 0;               ///< send buffers released unsent
  std::vector<Event> events;     ///< every registered event
  std::vector<int> tickDivisors; ///< divisors asked of GetTaskDelayTickCount
  std::vector<int> delays;       ///< ticks of every task delay
  u8 switchOperational = 0;      ///< answer of MFWQZ_RequestSwitchOperational
  u32 truesPerFrame = 0;         ///< dispatcher answers true this often per frame
  u32 pendingTrues = 0;          ///< trues left for the current frame
  std::vector<DispatchCall> dispatches;  ///< every dispatcher call
  std::vector<std::string> order;        ///< "dispatch" and "free" in call order
};
/// The fakes' state.
extern State g_pump;
/// Back to the defaults (module state normal, CT 0x1000).
void Reset();

}  // namespace PumpFakes
