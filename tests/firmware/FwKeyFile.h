// The smallest key file on which the firmware starts normally.
#pragma once

#include <cstdint>
#include <vector>

namespace FwTest {

/// SADR of the one node of OneNodeKeyFile.
inline constexpr uint16_t kOneNodeSadr = 5;

/// A "kel_para.saf" whose node list holds one node: the least the
/// configuration manager activates over; its other objects keep their defaults.
std::vector<uint8_t> OneNodeKeyFile();

}  // namespace FwTest
