// Test-side implementations of what the stack requires of its user: the error
// callback (records every report) and the transmit-block interface (records
// each block request and each frame, and can refuse a block or a send).
#pragma once
#include <ostream>
#include <vector>

#include "ScmTypes.h"

namespace StackTest {

using Bytes = std::vector<u8>;  ///< a byte sequence

/// One error report of the stack.
struct ErrorReport {
  u16 code;  ///< stack error code
  u32 info;  ///< additional info
  bool operator==(const ErrorReport&) const = default;
};
/// Readable form for test failures.
void PrintTo(const ErrorReport& e, std::ostream* os);

/// One safety node failure reported to the application.
struct SnFailReport {
  u16 sadr;      ///< SADR of the node
  u8 group;      ///< error group
  u8 code;       ///< error code
  u16 fsmIndex;  ///< node handle
};

/// Everything the error callback received, in order.
extern std::vector<ErrorReport> g_errors;
/// Everything the SN failure callback received, in order.
extern std::vector<SnFailReport> g_snFails;

/// One transmit block request.
struct BlockRequest {
  u8 type;     ///< telegram type
  u16 length;  ///< frame length asked for
};

/// State of the transmit-block fake.
struct TxFake {
  std::vector<BlockRequest> requests;  ///< every block request
  std::vector<Bytes> frames;           ///< every marked block (TWO then ONE), as marked
  std::vector<u8> types;               ///< telegram type of each marked block
  u32 releases = 0;                    ///< blocks given back unsent
  bool refuseBlock = false;            ///< next requests get no block
  bool refuseSend = false;             ///< marks report "not sent"
  bool out = false;                    ///< a block is out
  u16 outLength = 0;                   ///< its length
  u8 outType = 0;                      ///< its telegram type
  u8 buffer[521] = {};                 ///< the one block
};
/// The transmit-block fake.
extern TxFake g_tx;

/// Clears the recorded errors, SN failures and the transmit-block fake.
void ResetFakes();
/// True when a report with this code was recorded.
bool HasError(u16 code);
/// The highest recorded code (0 when none).
u16 MaxErrorCode();

}  // namespace StackTest
