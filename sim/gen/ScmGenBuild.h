// The builders of every file the generator writes, from given contents: the one
// place that knows each file's layout, lengths, offsets, counts and CRCs.
// Generate() uses them after the domain's checks; tests use them for the
// contents a domain does not describe (a raw record area, one section alone)
// and then change the bytes for the variants only one side accepts. Fed with
// complemented values they give the checker's ".chk" copies: header words,
// counts, SADRs and flags plain, CRCs over the bytes as stored.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "ScmGen.h"

namespace ScmGen {

/// Appends one parameter record: u16 index, u8 sub-index, u32 length, data.
void AppendRecord(Bytes& out, std::uint16_t index, std::uint8_t sub, const Bytes& data);
/// The CRC-32 (seed 0) of each 16,384-byte block of an area, the last one shorter, as stored.
Bytes BlockCrcList(const Bytes& area);

/// "kel_para.saf": header, first area and its CRCs, parameter area and its CRCs.
Bytes KelParaSafFile(const Bytes& parameterArea, const Bytes& firstArea = {});
/// Recomputes the CRC-16 (0x755B) of bytes 0 to 61 into 62.
void SealKelParaSafHeader(Bytes& file);

/// One "corvane.dat" record per entry: 0xCC00 + SADR, sub-index 1, length 6, the UDID.
Bytes CorvaneDatRecords(const std::vector<UdidEntry>& entries);
/// The firmware's own form: the records of SADR 1 to 1023, zero where no entry gives a UDID.
Bytes CorvaneDatAllRecords(const std::vector<UdidEntry>& entries);
/// "corvane.dat" version 2 around a data area: header, data at 64, CRC list behind.
Bytes CorvaneDatFile(const Bytes& data);
/// Recomputes the CRC-16 (0x755B) of bytes 0 to 61 into 62.
void SealCorvaneDatHeader(Bytes& file);

/// One "pardata1.bin" entry: the 16-byte header (version 1) and the payload.
Bytes ParData1Entry(std::uint8_t number, std::uint16_t sadr, const Bytes& payload, std::uint32_t timestamp);
/// "pardata1.bin" version 0x0100 around a data area of count entries: header, data at 64, CRC list behind.
Bytes ParData1File(const Bytes& data, std::uint16_t count, std::uint32_t timestamp);
/// Recomputes the CRC-32 of bytes 0 to 59 into 60.
void SealParData1Header(Bytes& file);

/// The "autocnf.bin" UDID section: u16 count, 8, 0x0300, 8, the entries, CRC-32.
Bytes AutoCnfUdidSection(const std::vector<UdidEntry>& udids);
/// The 76-byte machine-option section around the options (padded with zeros or cut to 64 bytes).
Bytes AutoCnfMachineOptionSection(const Bytes& options);
/// The module-flag section of 268 or 396 bytes (each array padded with zeros or cut to 128 bytes).
Bytes AutoCnfModuleFlagSection(const ModuleFlags& flags);
/// "autocnf.bin" version 0x0400 around section bytes (empty ones absent): header, sections, file CRC.
Bytes AutoCnfFile(std::uint32_t timestamp, const Bytes& udid, const Bytes& options, const Bytes& flags);
/// "autocnf.bin" of either layout from its content.
Bytes AutoCnfBin(const AutoCnf& content);
/// Recomputes the CRC-32 of bytes 0 to 59 into 60.
void SealAutoCnfHeader(Bytes& file);
/// Recomputes the file CRC into the last four bytes.
void SealAutoCnfFile(Bytes& file);

/// "fwrevcnf.bin" version 0x0101: header, entries, CRC; the second section with the password, CRC.
Bytes FwRevCnfBin(const FwRevCnf& content);

/// "corvane.uid": u32 0x100, the UDID, the u64 time as low word and high word.
Bytes CorvaneUidFile(const CorvaneUid& content);

/// One file to write: its name and bytes.
struct NamedBytes {
  const char* name;    ///< final name
  const Bytes* bytes;  ///< contents
};
/// Writes each file under a temporary name, then renames all: all or none. Empty or the failure.
std::string WriteNamedFiles(const std::vector<NamedBytes>& items, const std::filesystem::path& dir);

/// The checker's copies, each the plain file's builder fed with complemented values.
/// "corvane.dat.chk": the entries with a UDID (all-zero ones are not acknowledged), ascending SADR.
Bytes CorvaneDatChkFile(const std::vector<UdidEntry>& entries);
/// "fwrevcnf.bin.chk": entries with a revision other than 0, the same flags.
Bytes FwRevCnfChkBin(const FwRevCnf& content);
/// "corvane.uid.chk": the UDID and the whole u64 time complemented.
Bytes CorvaneUidChkFile(const CorvaneUid& content);

}  // namespace ScmGen
