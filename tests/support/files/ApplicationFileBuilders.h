// "autocnf.bin" (both layouts), "fwrevcnf.bin" and "corvane.uid" for tests,
// built by the sample-file generator's builders. Fed with complemented values
// they give the expected ".chk" bytes: header words, counts, SADRs and flags
// plain, CRCs over the bytes as stored. A version-0x0100 "fwrevcnf.bin", which
// only the firmware reads, is the generated file with its version changed and
// its password field removed.
#pragma once
#include <array>
#include <cstdint>
#include <vector>

#include "FileBytes.h"
#include "ParameterFileBuilders.h"
#include "ScmGen.h"

namespace TestFiles {

using ModuleFlags = ScmGen::ModuleFlags;  ///< the module-flag section's arrays
using AutoCnfContent = ScmGen::AutoCnf;   ///< what "autocnf.bin" holds
using RevisionEntry = ScmGen::RevisionEntry;  ///< one module entry of "fwrevcnf.bin"

/// The UDID section: u16 count, 8, 0x0300, 8, entries, CRC-32.
Bytes AutoCnfUdidSection(const std::vector<UdidEntry>& udids);
/// The 76-byte machine option section.
Bytes AutoCnfMachineOptionSection(const Bytes& options);
/// The module-flag section.
Bytes AutoCnfModuleFlagSection(const ModuleFlags& flags);
/// "autocnf.bin" version 0x0400: header, the non-empty sections in order, file CRC.
Bytes BuildAutoCnf(const AutoCnfContent& content);
/// "autocnf.bin" version 0x0400 around raw section bytes (empty ones absent).
Bytes BuildAutoCnfRaw(std::uint32_t timestamp, const Bytes& udid, const Bytes& options, const Bytes& flags);
/// "autocnf.bin" of the old layout: the UDID section alone.
Bytes BuildAutoCnfOldLayout(const std::vector<UdidEntry>& udids);
/// Recomputes the CRC-32 of bytes 0 to 59 into 60.
void RefreshAutoCnfHeaderCrc(Bytes& file);
/// Recomputes the file CRC into the last four bytes.
void RefreshAutoCnfFileCrc(Bytes& file);

/// What "fwrevcnf.bin" holds.
struct FwRevCnfContent {
  std::vector<RevisionEntry> entries;           ///< module entries
  std::uint16_t flags = 0x06;                   ///< feature flags
  Udid qorUdid{};                               ///< Qor-controller UDID
  std::array<std::uint8_t, 8> targetId{};       ///< CPU product code and serial number
  std::array<std::uint8_t, 16> password{};      ///< password bytes
  std::uint16_t version = 0x0101;               ///< 0x0101 with the password field, 0x0100 without
};

/// "fwrevcnf.bin".
Bytes BuildFwRevCnf(const FwRevCnfContent& content);

/// "corvane.uid": u32 0x100, the UDID, the u64 timestamp (low word, high word).
Bytes BuildCorvaneUid(const Udid& qorUdid, std::uint64_t timestamp);

}  // namespace TestFiles
