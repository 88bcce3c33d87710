// Robustness drivers: one function of (data, size) per decoder. Each decodes
// the input, then exercises every getter of the result and its Accept, and
// checks what a decoder promises: a result or a CException with one of that
// decoder's codes; getters that neither throw nor point outside the message
// (for frames: outside the payload); an unchanged input, or for responses one
// changed only in the fail-safe mark bytes. A broken promise throws
// DriverViolation, so that a coverage-guided fuzzer can wrap a driver as it is.
#pragma once
#include <cstddef>
#include <stdexcept>

#include "ScmTypes.h"

namespace DecodeTest {

/// A decoder broke one of its promises on the driven input.
class DriverViolation : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Each driver returns true when the input decoded to an object, false when it was refused.

/// Frames, decoded with the fixtures' SCM UDID.
bool DriveFrameDecoder(const u8* data, std::size_t size);
/// Event records (lengths above 255 are passed as 255).
bool DriveEventDecoder(const u8* data, std::size_t size);
/// Commands (lengths above 255 are passed as 255).
bool DriveCommandDecoder(const u8* data, std::size_t size);
/// Responses; marks them as a checker in fail-safe would. True when a status kind was recognised.
bool DriveResponseDecoder(u8* data, std::size_t size);

}  // namespace DecodeTest
