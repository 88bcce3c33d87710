// Small helpers shared by the checker's tests.
#pragma once
#include <functional>

#include "CException.h"
#include "FrameBuilder.h"

namespace CheckerTest {

/// The exception the action throws; a failure (and code 0) when it throws none.
Util::CException Caught(const std::function<void()>& action);

/// A frame the checker's decoder passes: an SNMT UDID request from adr in domain sdn.
TestFrames::Bytes PassingFrame(u16 adr, u16 sdn);

}  // namespace CheckerTest
