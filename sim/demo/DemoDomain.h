// The domain of a run: the shipped default domain, a uniform domain of N
// nodes or a description file, with the command line's faults added; checked
// before anything starts, and turned into the storage files of the domain.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "DemoOptions.h"
#include "FrameNetwork.h"
#include "NodeConfig.h"

namespace ScmDemo {

/// One node of the planned domain.
struct PlannedNode {
  uint16_t sadr = 0;               ///< node-list SADR
  unsigned position = 0;           ///< where the network finds the device
  std::string udid;                ///< UDID the device carries
  std::vector<std::string> faults; ///< its faults, as named by the node library
  SimNodes::NodeConfig device;     ///< the device as it really is, which the network simulates
  std::string expectedUdid;        ///< the UDID the node list expects
  uint32_t expectedVendorId = 0;   ///< the vendor id the node list expects (0x1018/1)
  uint32_t expectedProductCode = 0;  ///< the product code the node list expects (0x1018/2)
  uint32_t expectedRevision = 0;   ///< the revision the node list expects (0x1018/3)
  std::vector<uint8_t> expectedChecksum;  ///< the parameter checksum the node list expects (0x1018/6)
};

/// Everything the run takes from its domain.
/// Target id the installed files accept when the description's CPU was exchanged: the CPU the host's
/// replaced, of the same product code (0x00012345) with serial number 0x00C0FFEF, little-endian.
inline constexpr std::array<uint8_t, 8> kReplacedTargetId = {0x45, 0x23, 0x01, 0x00, 0xEF, 0xFF, 0xC0, 0x00};

struct DomainPlan {
  std::string source;                 ///< where the domain came from, for the view and summary
  uint16_t sdn = 1;                   ///< safety domain number
  std::optional<std::array<uint8_t, 6>> qorUdid;  ///< the UDID the host serves; none = the host's default
  std::vector<std::pair<std::string, std::vector<uint8_t>>> files;  ///< storage files by name
  std::optional<std::vector<uint8_t>> flash;  ///< flash area 16 of the controller: the installed key medium's
                                              ///< identity (none: absent, a fresh controller or the older release)
  std::optional<std::vector<uint8_t>> qorVariable4;  ///< Qor variable 4: the older release's copy of that identity
                                                     ///< (18 zero bytes on a fresh controller); none: never written
  bool legacy = false;                ///< a domain of the older release, run by its pair of programs
  std::vector<PlannedNode> nodes;     ///< the nodes
  ScmSim::WireFaultPlan wire;         ///< the wire faults, by node position
  std::string descriptionText;        ///< the domain as a description (uniform domains are written out)
  std::optional<std::vector<uint8_t>> download;  ///< "kel_para.saf" of the --download description
  std::vector<PlannedNode> downloadNodes;  ///< the nodes as the --download description has them
};

/// Builds the plan; an empty string, or the message naming the field or option that is wrong.
/// With --legacy, or a description of release "older", the domain is the older release's.
std::string PlanDomain(const DemoOptions& options, DomainPlan& plan);

}  // namespace ScmDemo
