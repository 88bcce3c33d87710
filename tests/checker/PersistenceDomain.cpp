#include "PersistenceDomain.h"

namespace PersistenceTest {

ScmGen::Domain InstalledDomain() {
  ScmGen::Domain d;
  for (uint16_t i = 0; i < 3; ++i) {
    ScmGen::Node n;
    n.sadr = static_cast<uint16_t>(2 + 3 * i);
    n.udid = {0x02, 0x5C, 0x3E, 0xA0, 0x00, static_cast<uint8_t>(n.sadr)};
    n.vendorId = 0x0025C3E0;
    n.productCode = 0x1000u + i;
    n.revision = 0x00020003u + i;
    n.parameterSet = Bytes(40 + i, static_cast<uint8_t>(i));
    n.checksum = Bytes(4 * (i + 1), static_cast<uint8_t>(0xA0 + i));
    d.nodes.push_back(n);
  }
  d.nodes[2].udid = {};  // not known yet: no acknowledged UDID
  // "autocnf.bin" names UDIDs only for nodes marked auto-configured.
  d.nodes[1].autoConfigured = true;
  d.nodes[2].autoConfigured = true;
  d.scm.configuration = ScmGen::ConfigurationData{0, 0, 1, 5};
  d.sets.push_back({5, 1, Bytes(24, 0x11), 7, {}});
  d.sets.push_back({8, 15, Bytes(16, 0x22), 8, {}});
  ScmGen::AutoCnf a;
  a.timestamp = 0x01020304;
  a.udids = {{8, {0x02, 0x5C, 0x3E, 0xB0, 0x00, 0x08}}, {5, {0x02, 0x5C, 0x3E, 0xB0, 0x00, 0x05}}};
  d.autoCnf = a;
  ScmGen::FwRevCnf f;
  f.entries = {{2, 0x0103}, {5, 0x0204}};
  f.flags = 0x07;
  f.qorUdid = {0x02, 0x5C, 0x3E, 0x10, 0x20, 0x30};
  f.targetId = {0x45, 0x23, 0x01, 0x00, 0xEE, 0xFF, 0xC0, 0x00};
  for (size_t i = 0; i < f.password.size(); ++i) f.password[i] = static_cast<uint8_t>('a' + i);
  d.fwRevCnf = f;
  d.corvaneUid = ScmGen::CorvaneUid{{0x02, 0x5C, 0x3E, 0x10, 0x20, 0x30}, 0x000ABCDE12345678ull};
  return d;
}

std::map<std::string, Bytes> InstalledFiles(const ScmGen::Domain& domain) {
  const ScmGen::Result r = ScmGen::Generate(domain);
  std::map<std::string, Bytes> files;
  files[ScmGen::kKelParaSafName] = r.files.kelParaSaf;
  files[ScmGen::kCorvaneDatName] = r.files.corvaneDat;
  if (r.files.parData1) files[ScmGen::kParData1Name] = *r.files.parData1;
  if (r.files.autoCnf) files[ScmGen::kAutoCnfName] = *r.files.autoCnf;
  if (r.files.fwRevCnf) files[ScmGen::kFwRevCnfName] = *r.files.fwRevCnf;
  const ScmGen::InstalledState s = ScmGen::Install(domain, {0x02, 0x5C, 0x3E, 0x10, 0x20, 0x30});
  files[ScmGen::kCorvaneUidName] = s.corvaneUid;
  files[ScmGen::kCorvaneUidChkName] = s.corvaneUidChk;
  files[ScmGen::kCorvaneDatChkName] = s.corvaneDatChk;
  if (s.fwRevCnfChk) files[ScmGen::kFwRevCnfChkName] = *s.fwRevCnfChk;
  return files;
}

}  // namespace PersistenceTest
