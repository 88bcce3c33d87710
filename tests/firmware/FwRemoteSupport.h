// Resets the firmware's remote-control state, its diagnosis records and the
// stand-ins it reads, to what a freshly started firmware holds.
#pragma once

namespace FwTest {

/// Remote words, stored command, password, remote-active flag, check table,
/// machine states, counters and flags as at power-up.
void ResetRemoteControl();

}  // namespace FwTest
