// The client side of the control interface: one text command to a running
// host over its socket (what scmhostctl and tests send).
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace ScmSim {

/// Status when the host cannot be reached or the connection breaks.
inline constexpr int kControlUnreachable = 3;

/// Sends argv to the host at socket; the host's status and text.
std::pair<int, std::string> SendControl(const std::string& socket, const std::vector<std::string>& argv);

/// Prefix of scmdemo's run directories, each holding its host's socket.
inline constexpr const char* kRunDirectoryPrefix = "scmdemo-";
/// Name of the host socket in a run directory.
inline constexpr const char* kRunSocketName = "host.sock";
/// Where run directories are made: $TMPDIR when set, else /tmp.
std::string RunDirectoryParent();

/// The sockets of this account's running domains, found in the run directories,
/// that answer a control command.
std::vector<std::string> FindRunningDomains();

/// What the control command "domain" answers: the domain's number, its object
/// namespace (empty: the default one) and socket.
struct DomainIdentity {
  unsigned sdn = 0;          ///< safety domain number
  std::string simNamespace;  ///< object namespace of its queues and semaphores
  std::string socket;        ///< the host socket
};
/// The identity in the answer "sdn=N namespace=NS socket=PATH"; none when malformed.
std::optional<DomainIdentity> ParseDomainIdentity(const std::string& answer);

}  // namespace ScmSim
