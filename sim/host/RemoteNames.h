// The operator's reading of remote control for people: names of the selection
// codes, result codes, remote states and state bits, the fail-safe byte as
// the checker marks it, and one line per answer.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ScmSim {

/// Name of an enter command's selection code ("accept 1 exchanged module", ...); hex when unknown.
std::string EnterCodeName(uint16_t code);
/// Name of a status request's code ("status", "password information", "address list page 1", ...).
std::string StatusCodeName(uint16_t code);
/// Name of a result code ("accepted", "wrong password", ...); hex when unknown.
std::string ResultName(uint16_t result);
/// Name of a remote state ("none", "accepted", "running", "being confirmed", "final").
std::string RemoteStateName(uint16_t state);
/// Names of the set state bits of the new status record, comma-separated.
std::string StateBitNames(uint32_t bits);
/// The classic record's fail-safe byte as the checker marks it: "sound", "firmware fail-safe",
/// "checker fail-safe", "both fail-safe".
std::string FailSafeByteName(uint8_t value);
/// One line describing an answer to a request of this class and code; "undecodable" when it does not fit.
std::string DescribeAnswer(uint16_t requestClass, uint16_t code, const std::vector<uint8_t>& answer);

}  // namespace ScmSim
