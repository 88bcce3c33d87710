#include "ApplicationFileBuilders.h"

namespace TestFiles {

Bytes AutoCnfUdidSection(const std::vector<UdidEntry>& udids) {
  Bytes s;
  AppendU16(s, static_cast<std::uint16_t>(udids.size()));
  AppendU16(s, 8);
  AppendU16(s, 0x0300);
  AppendU16(s, 8);
  for (const auto& e : udids) {
    AppendU16(s, e.sadr);
    s.insert(s.end(), e.udid.begin(), e.udid.end());
  }
  AppendU32(s, Crc32(s.data(), s.size()));
  return s;
}

Bytes AutoCnfMachineOptionSection(const Bytes& options) {
  Bytes s;
  AppendU16(s, 0x0200);
  AppendU16(s, 64);
  AppendU16(s, 0x0100);
  AppendU16(s, 8);
  Bytes body(options);
  body.resize(64, 0);
  Append(s, body);
  AppendU32(s, Crc32(s.data(), s.size()));
  return s;
}

Bytes AutoCnfModuleFlagSection(const ModuleFlags& flags) {
  Bytes s;
  AppendU16(s, flags.threeArrays ? 3072 : 2048);
  AppendU16(s, flags.threeArrays ? 384 : 256);
  AppendU16(s, flags.threeArrays ? 0x0101 : 0x0100);
  AppendU16(s, 8);
  auto array = [&s](const Bytes& a) {
    Bytes body(a);
    body.resize(128, 0);
    Append(s, body);
  };
  array(flags.optional);
  array(flags.startup);
  if (flags.threeArrays) {
    array(flags.noProcess);
  }
  AppendU32(s, Crc32(s.data(), s.size()));
  return s;
}

Bytes BuildAutoCnf(const AutoCnfContent& content) {
  const Bytes udid = content.udidSection ? AutoCnfUdidSection(content.udids) : Bytes{};
  const Bytes options = content.machineOptions ? AutoCnfMachineOptionSection(*content.machineOptions) : Bytes{};
  const Bytes flags = content.moduleFlags ? AutoCnfModuleFlagSection(*content.moduleFlags) : Bytes{};
  return BuildAutoCnfRaw(content.timestamp, udid, options, flags);
}

Bytes BuildAutoCnfRaw(std::uint32_t timestamp, const Bytes& udid, const Bytes& options, const Bytes& flags) {
  const std::uint32_t udidLength = static_cast<std::uint32_t>(udid.size());
  const std::uint32_t optionLength = static_cast<std::uint32_t>(options.size());
  const std::uint32_t flagLength = static_cast<std::uint32_t>(flags.size());
  Bytes file(64, 0);
  PutU16(file, 0, static_cast<std::uint16_t>((udidLength != 0) + (optionLength != 0) + (flagLength != 0)));
  PutU16(file, 2, 64);
  PutU16(file, 4, 0x0400);
  PutU16(file, 6, 8);
  PutU32(file, 8, timestamp);
  PutU32(file, 12, udidLength);
  PutU32(file, 16, udidLength != 0 ? 64 : 0);
  PutU32(file, 20, optionLength);
  PutU32(file, 24, optionLength != 0 ? 64 + udidLength : 0);
  PutU32(file, 28, flagLength);
  PutU32(file, 32, flagLength != 0 ? 64 + udidLength + optionLength : 0);
  RefreshAutoCnfHeaderCrc(file);
  Append(file, udid);
  Append(file, options);
  Append(file, flags);
  AppendU32(file, Crc32(file.data(), file.size()));
  return file;
}

Bytes BuildAutoCnfOldLayout(const std::vector<UdidEntry>& udids) { return AutoCnfUdidSection(udids); }

void RefreshAutoCnfHeaderCrc(Bytes& file) { PutU32(file, 60, Crc32(file.data(), 60)); }

void RefreshAutoCnfFileCrc(Bytes& file) { PutU32(file, file.size() - 4, Crc32(file.data(), file.size() - 4)); }

Bytes BuildFwRevCnf(const FwRevCnfContent& content) {
  Bytes file;
  AppendU16(file, static_cast<std::uint16_t>(content.entries.size()));
  AppendU16(file, 4);
  AppendU16(file, content.version);
  AppendU16(file, 8);
  for (const auto& e : content.entries) {
    AppendU16(file, e.sadr);
    AppendU16(file, e.revision);
  }
  AppendU32(file, Crc32(file.data(), file.size()));
  const std::size_t second = file.size();
  AppendU16(file, 8);
  AppendU16(file, 4);
  AppendU16(file, content.flags);
  file.insert(file.end(), content.qorUdid.begin(), content.qorUdid.end());
  file.insert(file.end(), content.targetId.begin(), content.targetId.end());
  if (content.version == 0x0101) {
    file.insert(file.end(), content.password.begin(), content.password.end());
    file.push_back(0);
  }
  AppendU32(file, Crc32(file.data() + second, file.size() - second));
  return file;
}

Bytes BuildCorvaneUid(const Udid& qorUdid, std::uint64_t timestamp) {
  Bytes file;
  AppendU32(file, 0x00000100);
  file.insert(file.end(), qorUdid.begin(), qorUdid.end());
  AppendU32(file, static_cast<std::uint32_t>(timestamp));
  AppendU32(file, static_cast<std::uint32_t>(timestamp >> 32));
  return file;
}

}  // namespace TestFiles
