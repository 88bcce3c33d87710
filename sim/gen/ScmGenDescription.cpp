#include "ScmGenDescription.h"

#include <limits>

namespace ScmGen {

Domain FromDescription(const SimDomain::Domain& description) {
  Domain d;
  d.layout = description.release == SimDomain::Release::Older ? Layout::Older : Layout::Current;
  const SimDomain::ScmDescription& s = description.scm;
  // The description states the guard time in microseconds; 0x100C/1 holds CT ticks of
  // the domain's time base. One that does not fit keeps a value its range refuses
  // (the description's own check names the field before this).
  d.scm.guardTime = SimDomain::GuardTimeTicks(description).value_or(std::numeric_limits<std::uint32_t>::max());
  d.scm.lifeTimeFactor = description.lifeFactor;
  d.scm.timeBase = s.timeBase;
  d.scm.ssdoTimeout = s.ssdoTimeout;
  d.scm.ssdoRetries = s.ssdoRetries;
  d.scm.snmtTimeout = s.snmtTimeout;
  d.scm.snmtRetries = s.snmtRetries;
  for (const auto& [number, value] : s.machineOptions) {
    d.scm.machineOptions.push_back({number, value});
  }
  d.scm.commissioning = s.commissioning;
  if (s.configuration) {
    const auto& c = *s.configuration;
    d.scm.configuration = ConfigurationData{c[0], c[1], c[2], c[3]};
  }
  for (std::size_t i = 0; i < description.nodes.size(); ++i) {
    const SimDomain::NodeEntry& e = description.nodes[i];
    Node n;
    n.sadr = e.sadr;
    n.udid = e.udid;
    n.vendorId = e.vendorId;
    n.productCode = e.productCode;
    n.revision = e.revision;
    n.parameterSet = e.parameterSet;
    n.checksum = e.checksum;
    n.timestamp = e.timestamp;
    n.flags = e.flags;
    n.ssdoPayloadLength = e.payloadLength;
    n.pollTime = e.pollTime;
    n.additionalSadrs = e.additionalSadrs;
    n.optional = e.optional;
    n.requiredAtStartup = e.requiredAtStartup;
    n.notProcessed = e.notProcessed;
    n.autoConfigured = e.autoConfigured;
    d.nodes.push_back(n);
    for (std::size_t j = 0; j < e.additionalSets.size(); ++j) {
      AdditionalSet set;
      set.sadr = e.sadr;
      set.number = static_cast<std::uint8_t>(j + 1);
      set.payload = e.additionalSets[j];
      set.timestamp = j < e.additionalSetTimestamps.size() ? e.additionalSetTimestamps[j] : 0;
      set.origin = "node(SADR " + std::to_string(e.sadr) + ").additional_sets[" + std::to_string(j) + "]";
      d.sets.push_back(set);
    }
  }
  d.sdn = description.sdn;
  d.qorUdid = description.qorUdid;
  return d;
}

DescriptionResult LoadDescription(const std::string& path) {
  DescriptionResult r;
  const SimDomain::LoadResult loaded = SimDomain::LoadDomainFile(path);
  if (!loaded.domain) {
    r.error = loaded.error;
    return r;
  }
  r.domain = FromDescription(*loaded.domain);
  return r;
}

}  // namespace ScmGen
