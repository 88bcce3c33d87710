#include "DemoDomain.h"

#include <cstdio>

#include "DomainDescription.h"
#include "NodeFaults.h"
#include "ScmGen.h"
#include "ScmGenDescription.h"

namespace ScmDemo {

namespace {

/// Storage names of the generated files as the firmware opens them.
constexpr const char* kKelParaSaf = "KEL_PARA.SAF";
constexpr const char* kCorvaneDat = "CORVANE.DAT";
constexpr const char* kParData1 = "PARDATA1.BIN";

/// CT multipliers of the SOD time bases 0..3: the CT is (microseconds x multiplier) >> 32.
constexpr u64 kCtMultiplier[4] = {0xF5C28F5Bull, 0x189374BCull, 0x02752546ull, 0x003EEA20ull};
/// Time base of the uniform domains: CT ticks of about 10.4 us, so the timeouts are 0.2 s.
constexpr i32 kUniformTimeBase = 1;
/// Guard time of the uniform domains in CT ticks: about 0.62 s, so guarding shows within a second.
constexpr u64 kUniformGuardTime = 60000;

/// Host microseconds of a span of CT ticks at a time base (the firmware's guard time as the nodes see it).
u64 CtToMicroseconds(u64 ticks, i32 timeBase) {
  const u64 multiplier = kCtMultiplier[timeBase >= 0 && timeBase <= 3 ? timeBase : 0];
  return static_cast<u64>((static_cast<unsigned __int128>(ticks) << 32) / multiplier);
}

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
    domain.scm.timeBase = kUniformTimeBase;
    domain.guardTimeUs = kUniformGuardTime;
    plan.source = "a uniform domain of " + std::to_string(options.nodes) + " node(s)";
  } else {
    const std::string path = SimDomain::DefaultDomainPath();
    SimDomain::LoadResult loaded = SimDomain::LoadDomainFile(path);
    if (!loaded.domain) return "the default domain " + path + ": " + loaded.error;
    domain = std::move(*loaded.domain);
    plan.source = path;
  }
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
  const ScmGen::Result generated = ScmGen::Generate(ScmGen::FromDescription(domain));
  if (!generated.error.empty()) return generated.error;
  plan.sdn = domain.sdn;
  plan.qorUdid = domain.qorUdid;
  plan.files.emplace_back(kKelParaSaf, generated.files.kelParaSaf);
  plan.files.emplace_back(kCorvaneDat, generated.files.corvaneDat);
  if (generated.files.parData1) plan.files.emplace_back(kParData1, *generated.files.parData1);
  for (const SimDomain::NodeEntry& n : domain.nodes) {
    PlannedNode p;
    p.sadr = n.sadr;
    p.position = n.device.position;
    p.udid = UdidText(SimNodes::DeviceUdid(n.device));
    p.faults = SimNodes::DescribeFaults(n.device.faults);
    p.device = n.device;
    // The firmware guards in CT ticks of the domain's time base (0x100C/1 as generated); the node's
    // life time runs on host microseconds, so it gets the same span in those.
    p.device.guardTimeUs = CtToMicroseconds(domain.guardTimeUs, domain.scm.timeBase);
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
  return "";
}

}  // namespace ScmDemo
