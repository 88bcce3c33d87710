// The demo domain of the parameter tests and little-endian access to the
// bytes of generated files.
#pragma once

#include <cstdint>
#include <vector>

#include "ScmGen.h"

namespace ParamTest {

using Bytes = std::vector<std::uint8_t>;  ///< file bytes

/// The SCM UDID the tests start with.
inline constexpr ScmGen::Udid kScmUdid = {0x02, 0x5C, 0x3E, 0x11, 0x22, 0x34};

/// Twelve nodes with parameter sets, additional SADRs and two additional sets.
ScmGen::Domain DemoDomain();
/// The files of a domain (the test fails when the generator refuses it).
ScmGen::FileSet Files(const ScmGen::Domain& domain);

/// Little-endian access to file bytes.
std::uint16_t Get16(const Bytes& b, std::size_t at);
std::uint32_t Get32(const Bytes& b, std::size_t at);
void Put16(Bytes& b, std::size_t at, std::uint16_t v);
void Put32(Bytes& b, std::size_t at, std::uint32_t v);
/// Recomputes the header CRC of each file after a test changed a field.
void RefreshKelHeader(Bytes& f);
void RefreshCorvaneHeader(Bytes& f, bool version1 = false);
void RefreshParDataHeader(Bytes& f);
/// Recomputes every block CRC of an area whose CRC list follows it.
void RefreshBlocks(Bytes& f, std::size_t areaOffset, std::size_t areaLength, std::size_t crcOffset);

}  // namespace ParamTest
