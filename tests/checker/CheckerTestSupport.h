// Small helpers shared by the checker's tests.
#pragma once
#include <functional>
#include <optional>

#include "CException.h"
#include "FrameBuilder.h"

namespace CheckerTest {

/// The exception the action throws; a failure (and code 0) when it throws none.
Util::CException Caught(const std::function<void()>& action);

/// A frame the checker's decoder passes: an SNMT UDID request from adr in domain sdn.
TestFrames::Bytes PassingFrame(u16 adr, u16 sdn);

/// A frame of domain sdn from its fields, coded with the SCM UDID as the firmware codes it
/// when coding is given.
TestFrames::Bytes DomainFrame(u8 id, u16 adr, u16 sdn, u16 ct, u16 tadr, TestFrames::Bytes payload,
                              const std::optional<TestFrames::Udid>& coding);

}  // namespace CheckerTest
