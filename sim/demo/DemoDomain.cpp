#include "DemoDomain.h"

#include <cstdio>

#include "DomainDescription.h"
#include "NodeFaults.h"
#include "ScmGen.h"
#include "ScmGenDescription.h"
#include "ScmHostSim.h"

namespace ScmDemo {

namespace {

/// Storage names of the generated files as the firmware opens them.
constexpr const char* kKelParaSaf = "KEL_PARA.SAF";
constexpr const char* kCorvaneDat = "CORVANE.DAT";
constexpr const char* kParData1 = "PARDATA1.BIN";

/// Time base of the uniform domains: CT ticks of about 10.4 us, so the timeouts are 0.2 s.
constexpr i32 kUniformTimeBase = 1;
/// Guard time of the uniform domains in microseconds (60000 ticks at time base 1), so guarding shows within a second.
constexpr u64 kUniformGuardTimeUs = 625000;

std::string UdidText(const std::array<uint8_t, 6>& udid) {
  char text[24];
  std::snprintf(text, sizeof text, "%02X-%02X-%02X-%02X-%02X-%02X", udid[0], udid[1], udid[2], udid[3], udid[4],
                udid[5]);
  return text;
}

}  // namespace

std::string PlanDomain(const DemoOptions& options, DomainPlan& plan) {
  SimDomain::Domain domain;
  if (!options.description.empty()) {
    SimDomain::LoadResult loaded = SimDomain::LoadDomainFile(options.description);
    if (!loaded.domain) return loaded.error;
    domain = std::move(*loaded.domain);
    plan.source = options.description;
  } else if (options.nodes != 0) {
    domain = SimDomain::UniformDomain(static_cast<u16>(options.nodes));
    if (options.legacy) domain.release = SimDomain::Release::Older;
    domain.scm.timeBase = kUniformTimeBase;
    domain.guardTimeUs = kUniformGuardTimeUs;
    plan.source = "a uniform domain of " + std::to_string(options.nodes) + " node(s)";
  } else {
    const std::string path = SimDomain::DefaultDomainPath();
    SimDomain::LoadResult loaded = SimDomain::LoadDomainFile(path);
    if (!loaded.domain) return "the default domain: " + loaded.error;
    domain = std::move(*loaded.domain);
    plan.source = path;
  }
  if (options.legacy) domain.release = SimDomain::Release::Older;
  plan.legacy = domain.release == SimDomain::Release::Older;
  for (const FaultOption& f : options.faults) {
    const std::string problem = SimDomain::ApplyFaultOption(domain, std::to_string(f.sadr) + ":" + f.fault);
    if (!problem.empty()) return "--fault " + problem;
  }
  const std::string invalid = SimDomain::ValidateDomain(domain);
  if (!invalid.empty()) return invalid;
  plan.wire.seed = options.seed;
  for (const std::string& w : options.wireFaults) {
    const std::string problem = ScmSim::ParseWireFault(w, plan.wire);
    if (!problem.empty()) return "--wire-fault " + problem;
  }
  // Installed and acknowledged: every node's firmware too, on this CPU or on the one it replaced.
  const std::array<std::uint8_t, 8>& cpu =
      domain.cpu == SimDomain::InstalledCpu::Exchanged ? kReplacedTargetId : ScmGen::kHostTargetId;
  const ScmGen::Domain generatorDomain = ScmGen::WithAcknowledgedFirmware(
      ScmGen::FromDescription(domain), domain.qorUdid, cpu);
  const ScmGen::Result generated = ScmGen::Generate(generatorDomain);
  if (!generated.error.empty()) return generated.error;
  plan.sdn = domain.sdn;
  plan.qorUdid = domain.qorUdid;
  plan.files.emplace_back(kKelParaSaf, generated.files.kelParaSaf);
  plan.files.emplace_back(kCorvaneDat, generated.files.corvaneDat);
  if (generated.files.parData1) plan.files.emplace_back(kParData1, *generated.files.parData1);
  if (generated.files.fwRevCnf) plan.files.emplace_back(ScmGen::kFwRevCnfName, *generated.files.fwRevCnf);
  // The key medium is installed and acknowledged on the controller: its identity in
  // "corvane.uid" and in flash area 16, and the checker's copies that agree with the files.
  const ScmGen::InstalledState installed =
      ScmGen::Install(generatorDomain, plan.qorUdid.value_or(ScmSim::HostConfig{}.qorUdid), cpu);
  // The automatic configuration: the described one, else empty.
  plan.files.emplace_back(ScmGen::kAutoCnfName, installed.autoCnf);
  plan.files.emplace_back(ScmGen::kCorvaneUidName, installed.corvaneUid);
  plan.files.emplace_back(ScmGen::kCorvaneUidChkName, installed.corvaneUidChk);
  plan.files.emplace_back(ScmGen::kCorvaneDatChkName, installed.corvaneDatChk);
  if (installed.fwRevCnfChk) plan.files.emplace_back(ScmGen::kFwRevCnfChkName, *installed.fwRevCnfChk);
  // The controller's copy of the identity: flash area 16, or Qor variable 4 in the older release
  // (whose plan leaves flash area 16 absent).
  std::optional<std::vector<uint8_t>> copy = installed.flash;
  if (domain.keyMedium == SimDomain::KeyMedium::OtherController && copy->size() >= 11) {
    // Another controller's identity: its UDID's last byte and its creation time differ.
    (*copy)[9] ^= 0xFF;
    (*copy)[10] ^= 0xFF;
  } else if (domain.keyMedium == SimDomain::KeyMedium::FreshController) {
    // A controller never given a key medium: no flash area 16; the older one's variable 4 holds zeros.
    copy = plan.legacy ? std::optional<std::vector<uint8_t>>(std::vector<uint8_t>(installed.flash.size(), 0))
                       : std::nullopt;
  }
  (plan.legacy ? plan.qorVariable4 : plan.flash) = copy;
  for (const SimDomain::NodeEntry& n : domain.nodes) {
    PlannedNode p;
    p.sadr = n.sadr;
    p.position = n.device.position;
    p.udid = UdidText(SimNodes::DeviceUdid(n.device));
    p.faults = SimNodes::DescribeFaults(n.device.faults);
    p.device = n.device;
    p.expectedUdid = UdidText(n.udid);
    p.expectedVendorId = n.vendorId;
    p.expectedProductCode = n.productCode;
    p.expectedRevision = n.revision;
    p.expectedChecksum = n.checksum;
    // The node guards its life time with the domain's guard time (the generator writes it as CT ticks).
    p.device.guardTimeUs = domain.guardTimeUs;
    plan.nodes.push_back(std::move(p));
  }
  // a wire fault is only meaningful where the network finds a node
  const auto hasNode = [&plan](u16 position) {
    for (const PlannedNode& p : plan.nodes) {
      if (p.position == position) return true;
    }
    return false;
  };
  for (const ScmSim::ScheduledWireFault& f : plan.wire.scheduled) {
    if (!hasNode(f.node)) return "--wire-fault: no node at position " + std::to_string(f.node);
  }
  for (const ScmSim::RatedWireFault& f : plan.wire.rated) {
    if (!hasNode(f.node)) return "--wire-fault: no node at position " + std::to_string(f.node);
  }
  plan.descriptionText = SimDomain::WriteDomain(domain);
  if (!options.download.empty()) {
    // The second configuration: only its key file travels; the devices stay as planned.
    DemoOptions second;
    second.description = options.download;
    second.legacy = plan.legacy;
    DomainPlan next;
    const std::string problem = PlanDomain(second, next);
    if (!problem.empty()) return "--download " + problem;
    if (next.sdn != plan.sdn) return "--download: the description is for domain " + std::to_string(next.sdn);
    for (const auto& [name, bytes] : next.files) {
      if (name == kKelParaSaf) plan.download = bytes;
    }
    plan.downloadNodes = next.nodes;
  }
  return "";
}

}  // namespace ScmDemo
