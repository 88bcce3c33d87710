// The client side of the control interface: one text command to a running
// host over its socket (what scmhostctl and tests send).
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace ScmSim {

/// Status when the host cannot be reached or the connection breaks.
inline constexpr int kControlUnreachable = 3;

/// Sends argv to the host at socket; the host's status and text.
std::pair<int, std::string> SendControl(const std::string& socket, const std::vector<std::string>& argv);

}  // namespace ScmSim
