// The builders of the application's files: "autocnf.bin" (both layouts),
// "fwrevcnf.bin" and "corvane.uid".
#include "HNFiff_Crc.h"
#include "ScmGenBuild.h"
#include "ScmGenFormat.h"

namespace ScmGen {

namespace {

/// CRC-32, seed 0, of n bytes.
std::uint32_t Crc32(const std::uint8_t* data, std::size_t n) {
  return HNFiff_Crc32CalcSwp(0, static_cast<std::int32_t>(n), data);
}

/// Appends the CRC-32 of the bytes from `from` to the end.
void AppendCrcFrom(Bytes& out, std::size_t from) { ByteWriter(out).U32(Crc32(out.data() + from, out.size() - from)); }

/// Appends bytes padded with zeros or cut to exactly n.
void AppendSized(Bytes& out, const Bytes& bytes, std::size_t n) {
  Bytes sized(bytes);
  sized.resize(n, 0);
  ByteWriter(out).Append(sized);
}

}  // namespace

Bytes AutoCnfUdidSection(const std::vector<UdidEntry>& udids) {
  Bytes s;
  ByteWriter w(s);
  w.U16(static_cast<std::uint16_t>(udids.size()));
  w.U16(8);
  w.U16(0x0300);
  w.U16(8);
  for (const auto& e : udids) {
    w.U16(e.sadr);
    w.Append(Bytes(e.udid.begin(), e.udid.end()));
  }
  AppendCrcFrom(s, 0);
  return s;
}

Bytes AutoCnfMachineOptionSection(const Bytes& options) {
  Bytes s;
  ByteWriter w(s);
  w.U16(0x0200);
  w.U16(static_cast<std::uint16_t>(kMachineOptionSize));
  w.U16(0x0100);
  w.U16(8);
  AppendSized(s, options, kMachineOptionSize);
  AppendCrcFrom(s, 0);
  return s;
}

Bytes AutoCnfModuleFlagSection(const ModuleFlags& flags) {
  Bytes s;
  ByteWriter w(s);
  w.U16(flags.threeArrays ? 3072 : 2048);
  w.U16(static_cast<std::uint16_t>(flags.threeArrays ? 3 * kFlagArraySize : 2 * kFlagArraySize));
  w.U16(flags.threeArrays ? 0x0101 : 0x0100);
  w.U16(8);
  AppendSized(s, flags.optional, kFlagArraySize);
  AppendSized(s, flags.startup, kFlagArraySize);
  if (flags.threeArrays) {
    AppendSized(s, flags.noProcess, kFlagArraySize);
  }
  AppendCrcFrom(s, 0);
  return s;
}

Bytes AutoCnfFile(std::uint32_t timestamp, const Bytes& udid, const Bytes& options, const Bytes& flags) {
  const auto udidLength = static_cast<std::uint32_t>(udid.size());
  const auto optionLength = static_cast<std::uint32_t>(options.size());
  const auto flagLength = static_cast<std::uint32_t>(flags.size());
  Bytes f(kHeaderSize, 0);
  PutU16(f, 0, static_cast<std::uint16_t>((udidLength != 0) + (optionLength != 0) + (flagLength != 0)));
  PutU16(f, 2, kHeaderSize);
  PutU16(f, 4, 0x0400);
  PutU16(f, 6, 8);
  PutU32(f, 8, timestamp);
  PutU32(f, 12, udidLength);
  PutU32(f, 16, udidLength != 0 ? kHeaderSize : 0);
  PutU32(f, 20, optionLength);
  PutU32(f, 24, optionLength != 0 ? kHeaderSize + udidLength : 0);
  PutU32(f, 28, flagLength);
  PutU32(f, 32, flagLength != 0 ? kHeaderSize + udidLength + optionLength : 0);
  SealAutoCnfHeader(f);
  ByteWriter w(f);
  w.Append(udid);
  w.Append(options);
  w.Append(flags);
  AppendCrcFrom(f, 0);
  return f;
}

Bytes AutoCnfBin(const AutoCnf& content) {
  if (content.oldLayout) {
    return AutoCnfUdidSection(content.udids);
  }
  const Bytes udid = content.udidSection ? AutoCnfUdidSection(content.udids) : Bytes{};
  const Bytes options = content.machineOptions ? AutoCnfMachineOptionSection(*content.machineOptions) : Bytes{};
  const Bytes flags = content.moduleFlags ? AutoCnfModuleFlagSection(*content.moduleFlags) : Bytes{};
  return AutoCnfFile(content.timestamp, udid, options, flags);
}

void SealAutoCnfHeader(Bytes& file) { PutU32(file, 60, Crc32(file.data(), 60)); }

void SealAutoCnfFile(Bytes& file) { PutU32(file, file.size() - 4, Crc32(file.data(), file.size() - 4)); }

Bytes FwRevCnfBin(const FwRevCnf& content) {
  Bytes f;
  ByteWriter w(f);
  w.U16(static_cast<std::uint16_t>(content.entries.size()));
  w.U16(4);
  w.U16(0x0101);
  w.U16(8);
  for (const auto& e : content.entries) {
    w.U16(e.sadr);
    w.U16(e.revision);
  }
  AppendCrcFrom(f, 0);
  const std::size_t second = f.size();
  w.U16(8);
  w.U16(4);
  w.U16(content.flags);
  w.Append(Bytes(content.qorUdid.begin(), content.qorUdid.end()));
  w.Append(Bytes(content.targetId.begin(), content.targetId.end()));
  w.Append(Bytes(content.password.begin(), content.password.end()));
  w.U8(0);  // the password's terminating byte
  AppendCrcFrom(f, second);
  return f;
}

Bytes CorvaneUidFile(const CorvaneUid& content) {
  Bytes f;
  ByteWriter w(f);
  w.U32(0x00000100);
  w.Append(Bytes(content.qorUdid.begin(), content.qorUdid.end()));
  w.U32(static_cast<std::uint32_t>(content.time));
  w.U32(static_cast<std::uint32_t>(content.time >> 32));
  return f;
}

}  // namespace ScmGen
