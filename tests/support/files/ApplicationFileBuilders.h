// Builders of "autocnf.bin" (both layouts), "fwrevcnf.bin" and "corvane.uid"
// as the firmware application's file formats define them. Fed with
// complemented values they give the expected ".chk" bytes: header words,
// counts, SADRs and flags plain, CRCs over the bytes as stored.
#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "FileBytes.h"
#include "ParameterFileBuilders.h"

namespace TestFiles {

/// The module-flag section: two arrays (268 bytes) or three (396 bytes).
struct ModuleFlags {
  bool threeArrays = true;       ///< version 0x0101 with the no-process array
  Bytes optional = Bytes(128);   ///< optional array
  Bytes startup = Bytes(128);    ///< start-up array
  Bytes noProcess = Bytes(128);  ///< no-process array (three arrays only)
};

/// What "autocnf.bin" holds.
struct AutoCnfContent {
  std::uint32_t timestamp = 0;                ///< header timestamp
  bool udidSection = true;                    ///< a UDID section is present
  std::vector<UdidEntry> udids;               ///< its entries
  std::optional<Bytes> machineOptions;        ///< the 64 machine option bytes when present
  std::optional<ModuleFlags> moduleFlags;     ///< the module-flag section when present
};

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

/// One module entry of "fwrevcnf.bin".
struct RevisionEntry {
  std::uint16_t sadr;      ///< safety address
  std::uint16_t revision;  ///< minor revision as stored
};

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
