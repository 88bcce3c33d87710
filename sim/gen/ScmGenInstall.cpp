// The installed state of a domain: the checker's complemented copies of the
// plain files and the controller's identity of the key medium.
#include <algorithm>

#include "ScmGen.h"
#include "ScmGenBuild.h"

namespace ScmGen {

namespace {

template <std::size_t N>
std::array<std::uint8_t, N> Complemented(const std::array<std::uint8_t, N>& value) {
  std::array<std::uint8_t, N> out{};
  for (std::size_t i = 0; i < N; ++i) {
    out[i] = static_cast<std::uint8_t>(~value[i]);
  }
  return out;
}

bool IsZero(const Udid& udid) {
  return std::all_of(udid.begin(), udid.end(), [](std::uint8_t b) { return b == 0; });
}

}  // namespace

Bytes CorvaneDatChkFile(const std::vector<UdidEntry>& entries) {
  std::vector<UdidEntry> copy;
  for (const auto& e : entries) {
    if (!IsZero(e.udid)) {
      copy.push_back({e.sadr, Complemented(e.udid)});
    }
  }
  std::stable_sort(copy.begin(), copy.end(), [](const UdidEntry& a, const UdidEntry& b) { return a.sadr < b.sadr; });
  return CorvaneDatFile(CorvaneDatRecords(copy));
}

Bytes FwRevCnfChkBin(const FwRevCnf& content) {
  FwRevCnf copy = content;
  copy.entries.clear();
  for (const auto& e : content.entries) {
    if (e.revision != 0) {
      copy.entries.push_back({e.sadr, static_cast<std::uint16_t>(~e.revision)});
    }
  }
  copy.qorUdid = Complemented(content.qorUdid);
  copy.targetId = Complemented(content.targetId);
  copy.password = Complemented(content.password);
  return FwRevCnfBin(copy);
}

Bytes CorvaneUidChkFile(const CorvaneUid& content) {
  return CorvaneUidFile({Complemented(content.qorUdid), ~content.time});
}

InstalledState Install(const Domain& domain, const Udid& qorUdid) {
  CorvaneUid identity{domain.qorUdid.value_or(qorUdid), kInstalledCorvaneTime};
  if (domain.corvaneUid) {
    identity = *domain.corvaneUid;
  }
  InstalledState state;
  state.corvaneUid = CorvaneUidFile(identity);
  state.corvaneUidChk = CorvaneUidChkFile(identity);
  std::vector<UdidEntry> udids;
  for (const auto& n : domain.nodes) {
    udids.push_back({n.sadr, n.udid});
  }
  state.corvaneDatChk = CorvaneDatChkFile(udids);
  if (domain.fwRevCnf) {
    state.fwRevCnfChk = FwRevCnfChkBin(*domain.fwRevCnf);
  }
  state.flash = state.corvaneUid;
  return state;
}

Domain WithAcknowledgedFirmware(Domain domain, const Udid& qorUdid) {
  if (domain.fwRevCnf) {
    return domain;
  }
  FwRevCnf acknowledged;
  for (const auto& n : domain.nodes) {
    acknowledged.entries.push_back({n.sadr, static_cast<std::uint16_t>(n.revision & 0xFFFFu)});
  }
  std::stable_sort(acknowledged.entries.begin(), acknowledged.entries.end(),
                   [](const RevisionEntry& a, const RevisionEntry& b) { return a.sadr < b.sadr; });
  acknowledged.qorUdid = domain.qorUdid.value_or(qorUdid);
  domain.fwRevCnf = acknowledged;
  return domain;
}

std::string WriteInstalledState(const InstalledState& state, const std::filesystem::path& dir) {
  std::vector<NamedBytes> items = {{kCorvaneUidName, &state.corvaneUid},
                                   {kCorvaneUidChkName, &state.corvaneUidChk},
                                   {kCorvaneDatChkName, &state.corvaneDatChk}};
  if (state.fwRevCnfChk) {
    items.push_back({kFwRevCnfChkName, &*state.fwRevCnfChk});
  }
  return WriteNamedFiles(items, dir);
}

}  // namespace ScmGen
