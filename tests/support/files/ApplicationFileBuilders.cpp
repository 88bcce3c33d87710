#include "ApplicationFileBuilders.h"

#include "ScmGenBuild.h"

namespace TestFiles {

namespace {
/// Bytes of the password field (16 bytes and the terminating 0) that only version 0x0101 has.
constexpr std::size_t kPasswordField = 17;
/// Offset of the password field within the second section.
constexpr std::size_t kPasswordAt = 20;
}  // namespace

Bytes AutoCnfUdidSection(const std::vector<UdidEntry>& udids) { return ScmGen::AutoCnfUdidSection(udids); }

Bytes AutoCnfMachineOptionSection(const Bytes& options) { return ScmGen::AutoCnfMachineOptionSection(options); }

Bytes AutoCnfModuleFlagSection(const ModuleFlags& flags) { return ScmGen::AutoCnfModuleFlagSection(flags); }

Bytes BuildAutoCnf(const AutoCnfContent& content) { return ScmGen::AutoCnfBin(content); }

Bytes BuildAutoCnfRaw(std::uint32_t timestamp, const Bytes& udid, const Bytes& options, const Bytes& flags) {
  return ScmGen::AutoCnfFile(timestamp, udid, options, flags);
}

Bytes BuildAutoCnfOldLayout(const std::vector<UdidEntry>& udids) {
  AutoCnfContent content;
  content.udids = udids;
  content.oldLayout = true;
  return ScmGen::AutoCnfBin(content);
}

void RefreshAutoCnfHeaderCrc(Bytes& file) { ScmGen::SealAutoCnfHeader(file); }

void RefreshAutoCnfFileCrc(Bytes& file) { ScmGen::SealAutoCnfFile(file); }

Bytes BuildFwRevCnf(const FwRevCnfContent& content) {
  Bytes file = ScmGen::FwRevCnfBin({content.entries, content.flags, content.qorUdid, content.targetId, content.password});
  if (content.version == 0x0101) {
    return file;
  }
  // Another version (0x0100 as the firmware reads it): the header word changed, no password field, both CRCs recomputed.
  const std::size_t entries = 8 + 4 * content.entries.size();
  PutU16(file, 4, content.version);
  PutU32(file, entries, Crc32(file.data(), entries));
  const std::size_t second = entries + 4;
  file.erase(file.begin() + static_cast<std::ptrdiff_t>(second + kPasswordAt),
             file.begin() + static_cast<std::ptrdiff_t>(second + kPasswordAt + kPasswordField));
  PutU32(file, file.size() - 4, Crc32(file.data() + second, file.size() - 4 - second));
  return file;
}

Bytes BuildCorvaneUid(const Udid& qorUdid, std::uint64_t timestamp) { return ScmGen::CorvaneUidFile({qorUdid, timestamp}); }

}  // namespace TestFiles
